#pragma once

#include <QWidget>

#include "window/TextFit.h"

// The splash form shown while the generator is read back or a settings file
// is loaded.
class TMessageForm : public QWidget {
    Q_OBJECT
public:
    explicit TMessageForm(QWidget* parent = nullptr);
    TFitLabel* MessageLabel = nullptr;

    // Shows the form centred on the screen and paints it at once; with Text,
    // that text from now on.
    void ShowNow(const QString& text = QString());
};
