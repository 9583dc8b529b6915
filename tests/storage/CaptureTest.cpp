// Tools > Capture Screen Shot: the window's pixels from the screen, as a
// baseline colour JPEG at quality 90 in the working folder. Real pixels need an X server;
// without one these tests are skipped.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <array>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "storage/StorageTestSupport.h"

namespace {

struct DecodedJpeg {
    bool Valid = false;
    int Width = 0, Height = 0, Components = 0;
    J_COLOR_SPACE ColorSpace = JCS_UNKNOWN;
    bool Progressive = true;
    std::array<unsigned, DCTSIZE2> LuminanceTable{};
    QImage Image;
};

// The luminance quantisation table that libjpeg's quality scale gives.
std::array<unsigned, DCTSIZE2> LuminanceTableAtQuality(int quality)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    cinfo.in_color_space = JCS_RGB;
    cinfo.input_components = 3;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    std::array<unsigned, DCTSIZE2> table{};
    for (int i = 0; i < DCTSIZE2; ++i)
        table[i] = cinfo.quant_tbl_ptrs[0]->quantval[i];
    jpeg_destroy_compress(&cinfo);
    return table;
}

struct DecodeError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
};

extern "C" void DecodeErrorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<DecodeError*>(cinfo->err)->Jump, 1);
}

bool DecodeInto(const QByteArray& bytes, DecodedJpeg* out, QImage* image)
{
    jpeg_decompress_struct cinfo;
    DecodeError error;
    cinfo.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = DecodeErrorExit;
    if (setjmp(error.Jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    out->Width = static_cast<int>(cinfo.image_width);
    out->Height = static_cast<int>(cinfo.image_height);
    out->Components = cinfo.num_components;
    out->ColorSpace = cinfo.jpeg_color_space;
    out->Progressive = cinfo.progressive_mode;
    if (cinfo.quant_tbl_ptrs[0])
        for (int i = 0; i < DCTSIZE2; ++i)
            out->LuminanceTable[i] = cinfo.quant_tbl_ptrs[0]->quantval[i];
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image->scanLine(static_cast<int>(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

DecodedJpeg Decode(const QString& path)
{
    DecodedJpeg d;
    const QByteArray bytes = FileBytes(path);
    if (!bytes.startsWith("\xFF\xD8") || !bytes.endsWith("\xFF\xD9"))
        return d;
    // The size first, for the picture to decode into.
    DecodedJpeg header;
    {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()),
                     static_cast<unsigned long>(bytes.size()));
        const bool ok = jpeg_read_header(&cinfo, FALSE) == JPEG_HEADER_OK;
        header.Width = static_cast<int>(cinfo.image_width);
        header.Height = static_cast<int>(cinfo.image_height);
        jpeg_destroy_decompress(&cinfo);
        if (!ok || header.Width <= 0 || header.Height <= 0)
            return d;
    }
    QImage image(header.Width, header.Height, QImage::Format_RGB888);
    d.Valid = DecodeInto(bytes, &d, &image);
    d.Image = image;
    return d;
}

// Mean difference per channel between two pictures of one size, over Area.
double MeanDifference(const QImage& a, const QImage& b, const QRect& area)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB888), y = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    long count = 0;
    for (int row = area.top(); row <= area.bottom(); row += 2)
        for (int col = area.left(); col <= area.right(); col += 2) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
            count += 3;
        }
    return count ? sum / count : 1e9;
}

class ScreenCapture : public StorageFixture {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != "xcb")
            GTEST_SKIP() << "no X display for real screen pixels";
        MakeApp();
        TMainForm& f = App->Form();
        f.move(40, 30);
        f.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
        Paint();
    }
    // Paints the window now, so the screen shows it.
    void Paint()
    {
        QCoreApplication::processEvents();
        App->Form().repaint();
        QCoreApplication::processEvents();
    }
};

TEST_F(ScreenCapture, WritesABaselineColourJpegOfTheWindowFrame)
{
    TMainForm& f = App->Form();
    App->Form().CaptureScreenShotAction->trigger();
    // The picture is taken from the event loop, after the menu has closed.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(Work.File("6400ScreenShot.jpg")); }));
    EXPECT_TRUE(Dialogs.Shown.isEmpty());

    const DecodedJpeg jpeg = Decode(Work.File("6400ScreenShot.jpg"));
    ASSERT_TRUE(jpeg.Valid);
    EXPECT_EQ(QSize(jpeg.Width, jpeg.Height), f.frameGeometry().size());
    EXPECT_EQ(jpeg.Components, 3);
    EXPECT_EQ(jpeg.ColorSpace, JCS_YCbCr);
    EXPECT_FALSE(jpeg.Progressive);
    EXPECT_EQ(jpeg.LuminanceTable, LuminanceTableAtQuality(90));
    // It shows the panel: the client area matches what the window paints.
    const QImage painted = f.grab().toImage();
    const QPoint client = f.geometry().topLeft() - f.frameGeometry().topLeft();
    const QImage shot = jpeg.Image.copy(QRect(client, f.size()));
    EXPECT_LT(MeanDifference(shot, painted, painted.rect()), 6.0);
}

TEST_F(ScreenCapture, ASecondCaptureReplacesTheFirstAndOffScreenPartsStayBlack)
{
    TMainForm& f = App->Form();
    Storage->CaptureScreenShotClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(Work.File("6400ScreenShot.jpg")); }));
    const QByteArray firstBytes = FileBytes(Work.File("6400ScreenShot.jpg"));
    const QSize first = f.frameGeometry().size();
    ASSERT_EQ(QSize(Decode(Work.File("6400ScreenShot.jpg")).Width, Decode(Work.File("6400ScreenShot.jpg")).Height),
              first);

    // Half the window past the screen's left edge.
    const QRect screen = f.screen()->geometry();
    f.move(screen.left() - f.frameGeometry().width() / 2, 30);
    QTRY_COMPARE(f.frameGeometry().left(), screen.left() - f.frameGeometry().width() / 2);
    Paint();
    Storage->CaptureScreenShotClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return FileBytes(Work.File("6400ScreenShot.jpg")) != firstBytes; }));
    const DecodedJpeg second = Decode(Work.File("6400ScreenShot.jpg"));
    ASSERT_TRUE(second.Valid);
    EXPECT_EQ(QSize(second.Width, second.Height), f.frameGeometry().size());
    const int offScreen = screen.left() - f.frameGeometry().left();
    const QImage black(second.Image.size(), QImage::Format_RGB888);
    QImage allBlack = black;
    allBlack.fill(Qt::black);
    EXPECT_LT(MeanDifference(second.Image, allBlack, QRect(0, 0, offScreen - 8, second.Height)), 2.0);
    // The part on the screen carries the window's pixels.
    const QImage painted = f.grab().toImage();
    const QPoint client = f.geometry().topLeft() - f.frameGeometry().topLeft();
    const QImage shot = second.Image.copy(QRect(client, f.size()));
    const QRect visible(offScreen - client.x() + 8, 0, f.width() - (offScreen - client.x()) - 8, f.height());
    EXPECT_LT(MeanDifference(shot, painted, visible), 6.0);
    EXPECT_EQ(QDir(Work.Path()).entryList(QDir::Files), QStringList{"6400ScreenShot.jpg"});
}

class CaptureFailure : public StorageFixture {};

TEST_F(CaptureFailure, AnUnwritableFileIsReportedAndNothingIsLeft)
{
    MakeApp();
    ASSERT_TRUE(QDir(Work.Path()).mkdir("6400ScreenShot.jpg"));
    Storage->CaptureScreenShotClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Dialogs.Shown.isEmpty(); }));
    ASSERT_EQ(Dialogs.Shown.size(), 1);
    EXPECT_EQ(Dialogs.Shown[0].Kind, TMsgKind::mkError);
    EXPECT_TRUE(Dialogs.Shown[0].Text.contains("6400ScreenShot.jpg")) << Dialogs.Shown[0].Text.toStdString();
    EXPECT_TRUE(QFileInfo(Work.File("6400ScreenShot.jpg")).isDir());
    EXPECT_EQ(QDir(Work.Path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
}

}  // namespace
