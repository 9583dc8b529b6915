#include "support/ScriptedDialogs.h"

#include <QFileInfo>

QStringList TScriptedDialogs::Texts() const
{
    QStringList texts;
    for (const auto& s : Shown)
        texts << s.Text;
    return texts;
}

TMsgButton TScriptedDialogs::DoMessageDlg(const QString& text, const QString& caption, TMsgButtons buttons,
                                          TMsgKind kind)
{
    if (buttons == mbNone)
        buttons = TMsgButton::mbOK;
    Shown.append({text, caption, buttons, kind});
    if (!Answers.isEmpty()) {
        const TMsgButton answer = Answers.takeFirst();
        if (buttons.testFlag(answer))
            return answer;
    }
    return SafeDefaultButton(buttons);
}

QString TScriptedDialogs::TakeFileName(const QString& caption, const QString& defaultSuffix)
{
    FileDialogCaptions << caption;
    if (FileNames.isEmpty())
        return QString();
    const QString name = FileNames.takeFirst();
    // As a file dialog does: a name whose last part has no dot and that is
    // no folder gets the suffix.
    const QFileInfo info(name);
    if (defaultSuffix.isEmpty() || info.isDir() || info.fileName().contains(QLatin1Char('.')))
        return name;
    return name + QLatin1Char('.') + defaultSuffix;
}

void TScriptedDialogs::OpenFileName(const QString& caption, const QString&, const QString& defaultSuffix,
                                    TFileAnswer chosen)
{
    const QString name = TakeFileName(caption, defaultSuffix);
    if (chosen)
        chosen(name);
}

void TScriptedDialogs::SaveFileName(const QString& caption, const QString&, const QString&,
                                    const QString& defaultSuffix, TFileAnswer chosen)
{
    const QString name = TakeFileName(caption, defaultSuffix);
    if (chosen)
        chosen(name);
}
