// The timing-diagram window: the diagram of the program's settings, a "Fit"
// button, the cursor's read-out, and File > Export to PNG and SVG. It reads
// the settings snapshot it is given and is told when the settings change;
// it talks to nothing else.
#pragma once

#include <QMainWindow>

#include "timing/TimingView.h"

class IDialogs;
class QAction;
class QLabel;
class QPushButton;
class QScrollArea;
struct TSettingsSnapshot;

class TTimingWindow : public QMainWindow {
    Q_OBJECT
public:
    TTimingWindow(const TSettingsSnapshot& settings, IDialogs& dialogs, QWidget* parent = nullptr);

    // The settings have changed: the diagram is drawn anew with the next
    // frame (or when the window is next shown).
    void SettingsChanged();

    // Writes the whole diagram as a picture; false when the file cannot be
    // written.
    bool ExportPng(const QString& path);
    bool ExportSvg(const QString& path);
    void ExportPngClick();
    void ExportSvgClick();

    TTimingView* View = nullptr;
    QPushButton* FitButton = nullptr;
    QLabel* Readout = nullptr;
    QAction* ExportPngAction = nullptr;
    QAction* ExportSvgAction = nullptr;
    QAction* CloseAction = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The picture's size: the view's, or its minimum when it is smaller.
    QSize PictureSize();
    // Writes an exported picture (empty: it could not be made); a failure is
    // reported to the user.
    bool WriteExport(const QString& path, const QByteArray& bytes);
    void ShowReadout();

    const TSettingsSnapshot& FSettings;
    IDialogs& FDialogs;
    QScrollArea* FScroll = nullptr;
    bool FSized = false;
};
