// The command channel's library on its own: a program that links jt_comm and
// nothing else of the panel's (no serial component, no widget toolkit) builds
// from the channel's and the line owner's headers and runs. Its include path
// is only what jt_comm hands on, so a header of the channel that needs a
// library jt_comm keeps to itself fails to compile here (every header of the
// folder is included for that).
#include "comm/CommandText.h"
#include "comm/Communication.h"
#include "comm/LineOwner.h"
#include "comm/TrafficLog.h"

#include <gtest/gtest.h>

// Nor does it hand Qt GUI on: the command line and the channel's users need
// none of it.
#if __has_include(<QColor>)
#error "jt_comm hands Qt GUI on to the programs that link it"
#endif

#include <QCoreApplication>
#include <QStringList>

namespace {

// Answers every box with its safe default and records the texts.
class TRecordedDialogs : public IDialogs {
public:
    QStringList Texts;
    void OpenFileName(const QString&, const QString&, const QString&, TFileAnswer chosen) override
    {
        chosen(QString());
    }
    void SaveFileName(const QString&, const QString&, const QString&, const QString&, TFileAnswer chosen) override
    {
        chosen(QString());
    }

protected:
    TMsgButton DoMessageDlg(const QString& text, const QString&, TMsgButtons buttons, TMsgKind) override
    {
        Texts << text;
        return SafeDefaultButton(buttons);
    }
};

}  // namespace

// A line that never started ends at once on Stop: the waiting jobs hear
// that they were dropped, and a question on the owner's thread is simply put.
TEST(CommAlone, ALineThatNeverStartedDropsItsJobsOnStopAndAsksDirectly)
{
    TLineOwner line;
    TRecordedDialogs dialogs;
    TLineDialogs lineDialogs(line, dialogs);
    EXPECT_EQ(lineDialogs.MessageDlg(QStringLiteral("Restart?"), QString(), mbYesNo), TMsgButton::mbNo);
    EXPECT_EQ(dialogs.Texts, QStringList{QStringLiteral("Restart?")});

    QStringList happened;
    line.Post([&](TCommunication&) { happened << QStringLiteral("ran"); },
              [&] { happened << QStringLiteral("dropped"); });
    bool done = false;
    line.Stop({}, [&] { done = true; });
    EXPECT_TRUE(done);
    EXPECT_TRUE(line.Ending());
    EXPECT_EQ(happened, QStringList{QStringLiteral("dropped")});
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
