// The command terminal of the main window: the entry field with its history
// (a combo box), the Send button and the traffic echo. Enter or Send hands
// the text over with CommandEntered; the program answers with Accept once
// it has taken the command, which puts the text into the history. Up and
// Down walk the history; Ctrl+Backspace removes the entry picked from the
// list.
#pragma once

#include <QColor>
#include <QObject>
#include <QString>

class QComboBox;
class QKeyEvent;
class QPushButton;
class QTextEdit;

// The echo's colours: commands black, replies green (0x008000).
inline QColor CommandColor()
{
    return QColor(0, 0, 0);
}
inline QColor ResponseColor()
{
    return QColor(0, 128, 0);
}

class TCommandTerminal : public QObject {
    Q_OBJECT
public:
    TCommandTerminal(QComboBox& entry, QPushButton& send, QTextEdit& echo, QObject* parent = nullptr);

    // The command has been taken: it joins the history and stays in the
    // field, selected, so that what is typed next replaces it.
    void Accept(const QString& text);

    // The echo: one line in Color at the end, scrolled into view.
    void AddLine(const QString& text, const QColor& color);
    void Clear();

signals:
    // Enter in the field, or Send: the text exactly as typed.
    void CommandEntered(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Returns true when the key was consumed.
    bool KeyPress(QKeyEvent* event);
    // Shows the history entry Step entries away (-1 older, +1 newer).
    void StepHistory(int step);

    QComboBox& FEntry;
    QTextEdit& FEcho;
    // The history entry picked from the list; -1 once text is typed.
    int FPickedHistoryIndex = -1;
    // The history entry the field shows; -1 for typed text.
    int FHistoryPosition = -1;
};
