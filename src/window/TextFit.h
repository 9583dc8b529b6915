// The panel's typeface and labels whose text always shows whole.
#pragma once

#include <QFont>
#include <QLabel>

// The panel's font at a pixel size: Tahoma where it is installed, otherwise
// DejaVu Sans, which Debian installs with its desktops (fonts-dejavu-core).
QFont PanelFont(int pixelSize);

// A one-line label for texts that change at run time (error and model
// captions, the splash text). It shows its text at the designed pixel size
// when the text fits the label, and otherwise at the largest smaller size
// that fits, so no text is ever cut off whatever the installed fonts.
class TFitLabel : public QLabel {
    Q_OBJECT
public:
    TFitLabel(const QString& text, int pixelSize, const QRect& geometry, QWidget* parent);

    void SetCaption(const QString& text);
    // The font must follow the text: captions go through SetCaption.
    void setText(const QString&) = delete;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Fit();
    int FPixelSize;
};
