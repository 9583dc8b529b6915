#include "window/CommandTerminal.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>

#include <algorithm>

TCommandTerminal::TCommandTerminal(QComboBox& entry, QPushButton& send, QTextEdit& echo, QObject* parent)
    : QObject(parent), FEntry(entry), FEcho(echo)
{
    connect(&send, &QPushButton::clicked, this, [this] { emit CommandEntered(FEntry.currentText()); });
    connect(&FEntry, qOverload<int>(&QComboBox::activated), this,
            [this](int index) { FPickedHistoryIndex = FHistoryPosition = index; });
    connect(FEntry.lineEdit(), &QLineEdit::textEdited, this, [this] {
        FPickedHistoryIndex = -1;
        FHistoryPosition = -1;
    });
    // A user's keys reach the combo box, which has the focus and hands them
    // to its entry field directly, past that field's filters; keys sent to
    // the field itself come the ordinary way. Both are watched.
    FEntry.installEventFilter(this);
    FEntry.lineEdit()->installEventFilter(this);
}

void TCommandTerminal::Accept(const QString& text)
{
    FEntry.addItem(text);
    FEntry.setEditText(text);
    FEntry.lineEdit()->selectAll();
    FHistoryPosition = FEntry.count() - 1;
}

bool TCommandTerminal::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == &FEntry || watched == FEntry.lineEdit()))
        return KeyPress(static_cast<QKeyEvent*>(event));
    return QObject::eventFilter(watched, event);
}

bool TCommandTerminal::KeyPress(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit CommandEntered(FEntry.currentText());
        return true;
    }
    // Up and Down walk the history from the newest entry back (Alt+Down
    // still opens the list).
    const bool plain = !(event->modifiers() & (Qt::AltModifier | Qt::ControlModifier));
    if (plain && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
        StepHistory(event->key() == Qt::Key_Up ? -1 : 1);
        return true;
    }
    // Ctrl+Backspace (character 127) removes the history entry picked from
    // the list; typed text has none. The key still reaches the entry field.
    const bool ctrlBackspace = event->key() == Qt::Key_Backspace && (event->modifiers() & Qt::ControlModifier);
    if (ctrlBackspace || event->text() == QString(QChar(127))) {
        if (FPickedHistoryIndex >= 0 && FPickedHistoryIndex < FEntry.count()) {
            const QString text = FEntry.currentText();
            FEntry.removeItem(FPickedHistoryIndex);
            FEntry.setEditText(text);
            FPickedHistoryIndex = -1;
        }
    }
    return false;
}

void TCommandTerminal::StepHistory(int step)
{
    const int count = FEntry.count();
    if (count == 0)
        return;
    // Typed text stands after the newest entry.
    const int from = FHistoryPosition >= 0 && FHistoryPosition < count ? FHistoryPosition : count;
    const int to = std::clamp(from + step, 0, count - 1);
    FEntry.setCurrentIndex(to);
    FEntry.setEditText(FEntry.itemText(to));
    FEntry.lineEdit()->selectAll();
    FHistoryPosition = FPickedHistoryIndex = to;
}

void TCommandTerminal::AddLine(const QString& text, const QColor& color)
{
    QTextCursor cursor(FEcho.document());
    cursor.movePosition(QTextCursor::End);
    if (!FEcho.document()->isEmpty())
        cursor.insertBlock();
    QTextCharFormat format;
    format.setForeground(color);
    cursor.insertText(text, format);
    FEcho.verticalScrollBar()->setValue(FEcho.verticalScrollBar()->maximum());
}

void TCommandTerminal::Clear()
{
    FEcho.clear();
}
