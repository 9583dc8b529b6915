// Where things are in the main window, relative to its top-left corner (the
// menu bar is 18 pixels high; the client area's geometry is fixed).
#pragma once

#include <QPoint>

namespace e2e::ui {

constexpr int kMenuItem = 22;  // height of one menu item

inline const QPoint kFileMenu{18, 8};
inline const QPoint kExit{30, 29};
inline const QPoint kRestart{30, 51};

inline const QPoint kStorageMenu{63, 8};
inline const QPoint kSaveToBin{100, 28};
inline const QPoint kRestoreFromBin{100, 50};
inline const QPoint kSaveToFile{100, 72};
inline const QPoint kRestoreFromFile{100, 94};
// Items of the two bin submenus: Save To Bin has 1 … 6, Restore From Bin
// has Default 0 and 1 … 6.
inline QPoint SaveBin(int n)
{
    return {276, 28 + kMenuItem * (n - 1)};
}
inline QPoint RestoreBin(int n)
{
    return {276, 50 + kMenuItem * n};
}

inline const QPoint kToolsMenu{113, 8};
inline const QPoint kRefresh{150, 28};
inline const QPoint kCapture{150, 50};
inline const QPoint kTimingDiagram{150, 94};

inline const QPoint kRunStop{571, 52};

// The channel tabs; channel A's page is shown at start.
inline const QPoint kChTabA{29, 369};
inline const QPoint kChTabB{79, 369};
inline const QPoint kChEnable{25, 400};
inline const QPoint kChDelayText{100, 439};
inline const QPoint kChModeArrow{370, 416};
inline const QPoint kChSyncArrow{478, 416};
inline const QPoint kChMuxB{459, 508};

// Command terminal: entry field and the list of lines below it.
inline const QPoint kSendEdit{180, 637};
inline const QRect kTerminalLines{10, 655, 420, 66};

}  // namespace e2e::ui
