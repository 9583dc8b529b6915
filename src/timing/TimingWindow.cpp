#include "timing/TimingWindow.h"

#include <QPointer>

#include <QAction>
#include <QBuffer>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSvgGenerator>
#include <QVBoxLayout>

#include "model/SettingsSnapshot.h"
#include "platform/AtomicFile.h"
#include "platform/Dialogs.h"
#include "window/TextFit.h"

TTimingWindow::TTimingWindow(const TSettingsSnapshot& settings, IDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), FSettings(settings), FDialogs(dialogs)
{
    setObjectName("TimingDiagramForm");
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Timing Diagram"));
    setFont(PanelFont(12));

    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName("TimingFileMenu");
    QMenu* exportMenu = file->addMenu(QStringLiteral("Export"));
    exportMenu->setObjectName("TimingExportMenu");
    ExportPngAction = exportMenu->addAction(QStringLiteral("PNG Image..."));
    ExportPngAction->setObjectName("ExportPngAction");
    ExportSvgAction = exportMenu->addAction(QStringLiteral("SVG Image..."));
    ExportSvgAction->setObjectName("ExportSvgAction");
    CloseAction = file->addAction(QStringLiteral("Close"));
    CloseAction->setObjectName("TimingCloseAction");
    connect(ExportPngAction, &QAction::triggered, this, &TTimingWindow::ExportPngClick);
    connect(ExportSvgAction, &QAction::triggered, this, &TTimingWindow::ExportSvgClick);
    connect(CloseAction, &QAction::triggered, this, &QWidget::close);

    auto* client = new QWidget(this);
    auto* column = new QVBoxLayout(client);
    auto* bar = new QHBoxLayout;
    FitButton = new QPushButton(QStringLiteral("Fit"), client);
    FitButton->setObjectName("FitButton");
    FitButton->setToolTip(QStringLiteral("Show every pulse"));
    Readout = new QLabel(client);
    Readout->setObjectName("CursorReadout");
    Readout->setWordWrap(true);
    Readout->setTextFormat(Qt::PlainText);
    bar->addWidget(FitButton);
    bar->addWidget(Readout, 1);
    column->addLayout(bar);

    View = new TTimingView;
    FScroll = new QScrollArea(client);
    FScroll->setObjectName("TimingScroll");
    FScroll->setWidgetResizable(true);
    FScroll->setWidget(View);
    FScroll->setFrameShape(QFrame::NoFrame);
    column->addWidget(FScroll, 1);
    setCentralWidget(client);

    View->SetSource([this] { return BuildTimingDiagram(FSettings, DefaultPeriodCount(FSettings)); });
    connect(FitButton, &QPushButton::clicked, View, &TTimingView::Fit);
    connect(View, &TTimingView::CursorMoved, this, &TTimingWindow::ShowReadout);
    connect(View, &TTimingView::Rebuilt, this, &TTimingWindow::ShowReadout);
    ShowReadout();
}

void TTimingWindow::showEvent(QShowEvent* event)
{
    // The first time: the whole diagram where the screen allows, else as
    // much as fits, with the rest a scroll away.
    if (!FSized) {
        FSized = true;
        View->Diagram();
        QSize size = View->sizeHint() + QSize(40, menuBar()->sizeHint().height() + FitButton->sizeHint().height() + 40);
        if (const QScreen* s = screen())
            size = size.boundedTo(s->availableGeometry().size() * 0.9);
        resize(size);
    }
    QMainWindow::showEvent(event);
}

void TTimingWindow::SettingsChanged()
{
    View->Invalidate();
}

void TTimingWindow::ShowReadout()
{
    const QString text = View->Readout();
    Readout->setText(
        text.isEmpty() ? QStringLiteral("Point at the diagram to read the time and the signals that are high.") : text);
}

QSize TTimingWindow::PictureSize()
{
    View->Diagram();
    return View->size().expandedTo(View->minimumSizeHint());
}

bool TTimingWindow::ExportPng(const QString& path)
{
    const QSize size = PictureSize();
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        PaintTimingDiagram(p, QRect(QPoint(0, 0), size), View->Diagram(), View->Window(), View->font());
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    return WriteExport(path, image.save(&buffer, "PNG") ? bytes : QByteArray());
}

bool TTimingWindow::ExportSvg(const QString& path)
{
    const QSize size = PictureSize();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(QStringLiteral("Timing Diagram"));
    const QRect rect(QPoint(0, 0), size);
    QPainter p;
    bool drawn = p.begin(&svg);
    if (drawn)
        PaintTimingDiagram(p, rect, View->Diagram(), View->Window(), View->font(), std::nullopt, false);
    drawn = drawn && p.end();
    // The traces go in as the last elements, on top of the rest as on the
    // screen, with their edges at exact times.
    const qsizetype end = bytes.lastIndexOf("</svg>");
    drawn = drawn && end >= 0;
    if (drawn)
        bytes.insert(end, TraceSvg(rect, View->Diagram(), View->Window(), View->font()));
    return WriteExport(path, drawn ? bytes : QByteArray());
}

bool TTimingWindow::WriteExport(const QString& path, const QByteArray& bytes)
{
    // A picture that cannot be made or written leaves the file that was there.
    const QString reason =
        bytes.isEmpty() ? QStringLiteral("the picture could not be made.") : WriteFileAtomically(path, bytes);
    if (!reason.isEmpty())
        FDialogs.MessageDlg(QStringLiteral("Cannot write ") + path + QStringLiteral(": ") + reason, QString(),
                            TMsgButton::mbOK, TMsgKind::mkError);
    return reason.isEmpty();
}

void TTimingWindow::ExportPngClick()
{
    const QPointer<TTimingWindow> self(this);
    FDialogs.SaveFileName(QStringLiteral("Export Timing Diagram"), QStringLiteral("PNG image (*.png)"),
                          QStringLiteral("timing.png"), QStringLiteral("png"), [self](const QString& path) {
                              if (self && !path.isEmpty())
                                  self->ExportPng(path);
                          });
}

void TTimingWindow::ExportSvgClick()
{
    const QPointer<TTimingWindow> self(this);
    FDialogs.SaveFileName(QStringLiteral("Export Timing Diagram"), QStringLiteral("SVG image (*.svg)"),
                          QStringLiteral("timing.svg"), QStringLiteral("svg"), [self](const QString& path) {
                              if (self && !path.isEmpty())
                                  self->ExportSvg(path);
                          });
}
