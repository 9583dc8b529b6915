// The main window as the X server shows it: its place on a screen large
// enough for the designed place and on a smaller one, and its icon.
#include "e2e/E2eSupport.h"

using namespace e2e;

namespace {

// The icons a window carries (_NET_WM_ICON: width, height, then the pixels
// as ARGB, for each size in turn), as the X server holds them.
QList<QImage> WindowIcons(const TScreen& screen, const QString& window)
{
    const QString answer = screen.Tool(
        "xprop", {"-id", window, "-len", "16777216", "-f", "_NET_WM_ICON", "32c", " = $0+", "_NET_WM_ICON"});
    QList<quint32> values;
    for (const QString& v : answer.section(" = ", 1).split(',', Qt::SkipEmptyParts))
        values << v.trimmed().toUInt();
    QList<QImage> icons;
    for (qsizetype i = 0; i + 2 <= values.size();) {
        const int w = static_cast<int>(values[i]), h = static_cast<int>(values[i + 1]);
        i += 2;
        if (w <= 0 || h <= 0 || i + qsizetype(w) * h > values.size())
            break;
        QImage image(w, h, QImage::Format_ARGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixel(x, y, values[i++]);
        icons << image;
    }
    return icons;
}

// Largest difference of one colour channel between two images of one size,
// compared premultiplied (a window icon goes through premultiplied pixels).
int Difference(QImage a, QImage b)
{
    a = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    b = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (a.size() != b.size())
        return 256;
    int most = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int shift : {0, 8, 16, 24})
                most = std::max(most, std::abs(int((p >> shift) & 0xFF) - int((q >> shift) & 0xFF)));
        }
    return most;
}

struct TScreenCase {
    const char* size;
    int width, height;
    bool designedPlaceFits;
    friend void PrintTo(const TScreenCase& c, std::ostream* os) { *os << c.size; }
};

class Placement : public Scenario, public ::testing::WithParamInterface<TScreenCase> {
public:
    Placement() { screenSize = GetParam().size; }
};

}  // namespace

TEST_P(Placement, TheWindowStandsAtItsDesignedPlaceOrMovesLeftAndUpToStayWhole)
{
    const TScreenCase s = GetParam();
    TSimulator& generator = AddSimulator(3);
    StartPanel();
    const QString window = WaitForReady(generator);
    ASSERT_FALSE(window.isEmpty());
    const TScreen::TGeometry g = screen->Geometry(window);
    ASSERT_GT(g.width, 600);
    ASSERT_GT(g.height, 700);
    // Wholly on the screen.
    EXPECT_GE(g.x, 0);
    EXPECT_GE(g.y, 0);
    EXPECT_LE(g.x + g.width, s.width);
    EXPECT_LE(g.y + g.height, s.height);
    if (s.designedPlaceFits) {
        EXPECT_EQ(g.x, 600);
        EXPECT_EQ(g.y, 42);
    } else {
        // Moved no further than needed: against the right and bottom edges.
        EXPECT_EQ(g.x + g.width, s.width);
        EXPECT_EQ(g.y + g.height, s.height);
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, Placement,
                         ::testing::Values(TScreenCase{"1280x1024x24", 1280, 1024, true},
                                           TScreenCase{"1024x768x24", 1024, 768, false}),
                         [](const auto& info) {
                             return std::string(info.param.designedPlaceFits ? "Large" : "Small") + "Screen";
                         });

TEST_F(Scenario, TheWindowCarriesThePanelsIconInEverySize)
{
    TSimulator& generator = AddSimulator(3);
    StartPanel();
    const QString window = WaitForReady(generator);
    ASSERT_FALSE(window.isEmpty());
    const QList<QImage> icons = WindowIcons(*screen, window);
    QList<int> sizes;
    for (const QImage& icon : icons)
        sizes << icon.width();
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (QList<int>{16, 32, 48, 256}));
    for (const QImage& icon : icons) {
        SCOPED_TRACE(icon.width());
        const QImage art(QStringLiteral(JT6400_ART_DIR "/jt6400-%1.png").arg(icon.width()));
        ASSERT_FALSE(art.isNull());
        EXPECT_LE(Difference(icon, art), 2);
    }
}

// Every scenario connects and disconnects short-lived X clients (xdotool, the
// panel's key check, a restarted panel). A server that reset itself each time
// its last client left would refuse a client that came during the reset, and
// a panel would fail to start now and then. A reset empties the root window's
// properties, so a mark set by one client and read by the next shows it.
TEST(PrivateX, KeepsItsStateWhenItsLastClientLeaves)
{
    if (QStandardPaths::findExecutable("xprop").isEmpty())
        GTEST_SKIP() << "needs xprop (scripts/deps installs x11-utils)";
    TPrivateXServer x;
    ASSERT_FALSE(x.Display().isEmpty());
    const TScreen screen(x.Display());
    screen.Tool("xprop", {"-root", "-f", "JT6400_MARK", "8s", "-set", "JT6400_MARK", "kept"});
    QString mark;
    ASSERT_TRUE(WaitFor([&] {
        mark = screen.Tool("xprop", {"-root", "JT6400_MARK"});
        return !mark.isEmpty();
    }));
    EXPECT_EQ(mark.toStdString(), "JT6400_MARK(STRING) = \"kept\"");
}
