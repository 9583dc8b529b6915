#include "support/ScriptedDialogs.h"

QStringList TScriptedDialogs::Texts() const {
  QStringList texts;
  for (const auto& s : Shown) texts << s.Text;
  return texts;
}

TMsgButton TScriptedDialogs::DoMessageDlg(const QString& text, const QString& caption, TMsgButtons buttons,
                                        TMsgKind kind) {
  if (buttons == mbNone) buttons = mbOK;
  Shown.append({text, caption, buttons, kind});
  if (!Answers.isEmpty()) {
    const TMsgButton answer = Answers.takeFirst();
    if (buttons & answer) return answer;
  }
  return SafeDefaultButton(buttons);
}

QString TScriptedDialogs::OpenFileName(const QString& caption, const QString&) {
  FileDialogCaptions << caption;
  return FileNames.isEmpty() ? QString() : FileNames.takeFirst();
}

QString TScriptedDialogs::SaveFileName(const QString& caption, const QString&, const QString&) {
  FileDialogCaptions << caption;
  return FileNames.isEmpty() ? QString() : FileNames.takeFirst();
}
