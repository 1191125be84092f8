// The editor's ways out: "Send" (the queue of the mailbox), the hand-offs to
// Pegasus Mail and to the desktop's mail program, printing and saving the
// message as a text file; and the helpers shared by the editor's files.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStringDecoder>
#include <QTextDocument>

#include "mail/store.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "shell/startup.h"
#include "ui/common/appcontext.h"
#include "ui/common/msgbox.h"
#include "ui/editor/editor.h"
#include "ui/editor/editor_util.h"
#include "ui/common/widgets.h"

namespace quorel::ui {

// ---------------------------------------------------------------------------
// Helpers

TSettings* RunSettings() {
    TShellSession* session = AppContext().session;
    return session ? &session->Settings() : nullptr;
}

QString SettingsPath(const std::string& path) {
    if (path.empty()) return {};
    const QString p = QString::fromStdString(path);
    return QFileInfo(p).isAbsolute() ? p : QDir(AppContext().programFolder).filePath(p);
}

QString PegasusPath() {
    const TSettings* s = RunSettings();
    return s ? QString::fromStdString(s->PegasusPath).trimmed() : QString();
}

QString DesktopMailProgram() {
    return QString::fromStdString(
        mail::FindOnPath(mail::kXdgEmail, qEnvironmentVariable("PATH").toStdString()));
}

std::vector<std::string> BodyLines(const QString& text) {
    std::vector<std::string> out;
    if (text.isEmpty()) return out;
    for (const QString& line : text.split(QLatin1Char('\n')))
        out.push_back(line.toStdString());
    return out;
}

QString BodyText(const std::vector<std::string>& lines) {
    QStringList out;
    for (const std::string& l : lines)
        out << QString::fromStdString(l);
    return out.join(QLatin1Char('\n'));
}

QString TextFileToQString(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())));
    if (utf8.hasError()) text = QString::fromStdString(Cp1252ToUtf8(bytes));
    text.remove(QLatin1Char('\r'));
    if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    return text;
}

QIcon ButtonIcon(const QIcon& icon, bool colour) {
    return colour ? icon : GreyIcon(icon);
}

namespace {

compose::TSenderSettings Sender() {
    compose::TSenderSettings s;
    s.UserName = AppContext().userName.toStdString();
    s.EmailAddress = AppContext().emailAddress.toStdString();
    if (const TSettings* settings = RunSettings())
        s.SignatureFile = SettingsPath(settings->SignatureFile).toStdString();
    return s;
}

mail::TMailStore* Store() {
    TShellSession* session = AppContext().session;
    if (!session || !session->MailStore().IsOpen()) return nullptr;
    return &session->MailStore();
}

} // namespace

// ---------------------------------------------------------------------------
// Send

bool TEditorDialog::CheckFields(const compose::TMessageDraft& d) {
    switch (compose::CheckDraft(d)) {
    case compose::TDraftCheck::NoAddress:
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
             Msg(QStringLiteral("@FillAddress")));
        return false;
    case compose::TDraftCheck::NoAtSign:
        Tell(this, QMessageBox::NoIcon, QStringLiteral("Quorel"), Msg(QStringLiteral("@NoAtSign")));
        return false;
    case compose::TDraftCheck::CommaInName:
        return Ask(this, QStringLiteral("Quorel"), Msg(QStringLiteral("@NoCommas")),
                   QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok,
                   QMessageBox::Warning) == QMessageBox::Ok;
    case compose::TDraftCheck::Ok:
        break;
    }
    return true;
}

bool TEditorDialog::QueueBtnClick() {
    const compose::TMessageDraft d = Draft();
    if (!CheckFields(d)) return false;
    DisableControls();
    compose::TQueueResult r;
    if (mail::TMailStore* store = Store())
        r = compose::QueueDraft(*store, d, Sender());
    else
        r.Error = "the mailbox is not open";
    if (r.SignatureMissing)
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
             Msg(QStringLiteral("@SignatureError")));
    EnableControls();
    if (!r.Ok) {
        // The reason (an attachment that cannot be read, a full disk) is
        // the variable part after the message.
        QString text = Msg(QStringLiteral("@QueueFailed"));
        if (!r.Error.empty()) text += QStringLiteral(" : ") + QString::fromStdString(r.Error);
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"), text);
        return false;
    }
    SetBodyModified(false);
    CloseWindow();
    return true;
}

// ---------------------------------------------------------------------------
// Hand-offs

mail::THandoffMessage TEditorDialog::Handoff(const compose::TMessageDraft& d) const {
    mail::THandoffMessage m;
    m.Recipient = d.Recipient;
    m.Address = d.Address;
    m.Subject = d.Subject;
    m.CarbonCopies = d.CarbonCopy;
    m.Attachments = d.Attachments;
    m.Body = d.Body;
    m.SaveCopy = d.SaveCopy;
    return m;
}

void TEditorDialog::FileCopyAfterHandoff(const compose::TMessageDraft& d, const char* note) {
    mail::TMailStore* store = Store();
    if (!store) return;
    if (!d.SaveCopy) {
        // The message has left through another program: a queued message
        // that was being changed must not go out a second time with the
        // next connection. It is kept in Trash, where the player can still
        // find it.
        if (!d.EditedFile.empty()) {
            if (const long n = store->FindByFileName(d.EditedFile.filename().string()); n > 0)
                store->MoveMessage(n, mail::kFolderTrash);
            mail::MailboxChanged = true;
        }
        return;
    }
    compose::TMessageDraft copy = d;
    copy.Attachments.clear(); // listed in the body instead
    bool signatureMissing = false;
    try {
        compose::BuildMessage(msMessage, copy, Sender(), &signatureMissing);
    } catch (const std::exception&) {
        return; // the copy is then missing, as with any other failure here
    }
    if (signatureMissing)
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
             Msg(QStringLiteral("@SignatureError")));
    mail::AddHandoffNote(msMessage, d.Attachments, note);
    mail::FileHandoffCopy(*store, msMessage, d.EditedFile);
}

bool TEditorDialog::PegasusButtonClick() {
    const QString program = PegasusPath();
    if (program.isEmpty()) return false;
    const compose::TMessageDraft d = Draft();
    if (!CheckFields(d)) return false;
    const TSettings* s = RunSettings();
    const std::filesystem::path mailbox = s ? AppContext().session->Folders().Mailbox
                                            : std::filesystem::path(ProgramFolder().toStdString());
    const std::filesystem::path file = mail::PegasusMessageFile(program.toStdString(), mailbox);
    const std::string text =
        mail::PegasusMessageText(Handoff(d), AppContext().emailAddress.toStdString());
    if (!mail::WritePegasusMessageFile(file, text)) {
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
             Msg(QStringLiteral("@ErrorCreatingTemporalPegasus")));
        return false;
    }
    DisableControls();
    const std::vector<std::string> command = mail::PegasusCommand(program.toStdString(), file);
    QStringList args;
    for (size_t i = 1; i < command.size(); ++i)
        args << QString::fromStdString(command[i]);
    if (!QProcess::startDetached(QString::fromStdString(command[0]), args)) {
        EnableControls();
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
             Msg(QStringLiteral("@ErrorSendingMessagePegasus")));
        return false;
    }
    Tell(this, QMessageBox::Information, QStringLiteral("Quorel"),
         Msg(QStringLiteral("@MessageSentPegasus")));
    SetBodyModified(false);
    FileCopyAfterHandoff(d, mail::kPegasusCopyNote);
    EnableControls();
    CloseWindow();
    return true;
}

bool TEditorDialog::DesktopMailClick() {
    const QString program = DesktopMailProgram();
    if (program.isEmpty()) return false;
    const compose::TMessageDraft d = Draft();
    if (!CheckFields(d)) return false;
    // The attachments must exist now: the mail program reads them later.
    for (const std::string& a : d.Attachments)
        if (!QFileInfo(QString::fromStdString(a)).isFile()) {
            Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
                 Msg(QStringLiteral("@ErrorReadingFile")) + QStringLiteral(" ") +
                     QString::fromStdString(a));
            return false;
        }
    DisableControls();
    QStringList args;
    for (const std::string& a : mail::XdgEmailArguments(Handoff(d)))
        args << QString::fromStdString(a);
    if (!QProcess::startDetached(program, args)) {
        EnableControls();
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
             Msg(QStringLiteral("@ErrorSendingDesktop")));
        return false;
    }
    Tell(this, QMessageBox::Information, QStringLiteral("Quorel"),
         Msg(QStringLiteral("@MessageSentDesktop")));
    SetBodyModified(false);
    FileCopyAfterHandoff(d, mail::kDesktopCopyNote);
    EnableControls();
    CloseWindow();
    return true;
}

// ---------------------------------------------------------------------------
// Print and save

void TEditorDialog::PrintButtonClick() {
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    dialog.setObjectName(QStringLiteral("PrintDialog"));
    if (dialog.exec() != QDialog::Accepted) return;
    // Every body line as it stands, in Courier New 10 points (a fixed-pitch
    // face where that one is missing).
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    QTextDocument doc;
    doc.setDefaultFont(font);
    doc.setPlainText(memo_->toPlainText());
    doc.print(&printer);
}

void TEditorDialog::SaveToDiskButtonClick() {
    QFileDialog dialog(this, Msg(QStringLiteral("@SaveTitle")), ProgramFolder(),
                       Msg(QStringLiteral("@TextFilter")));
    dialog.setObjectName(QStringLiteral("SaveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.selectFile(QStringLiteral("*.txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString file = dialog.selectedFiles().first();
    const bool toHeader =
        Ask(this, QStringLiteral("Quorel"), Msg(QStringLiteral("@ToHeader")),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
    bool overwrite = true;
    if (QFileInfo::exists(file))
        overwrite = AskOverwriteOrAppend(this, Msg(QStringLiteral("@SelectOption")),
                                         QFileInfo(file).fileName(),
                                         Msg(QStringLiteral("@OverwriteFile")),
                                         Msg(QStringLiteral("@AppendFile")));
    const compose::TMessageDraft d = Draft();
    const std::string text = mail::MessageTextFile(d.Address, d.Body, toHeader);
    std::string error;
    const bool ok = overwrite ? AtomicWriteFile(file.toStdString(), text, &error)
                              : AppendToFile(file.toStdString(), text, &error);
    if (!ok)
        Tell(this, QMessageBox::Critical, QStringLiteral("Quorel"),
             Msg(QStringLiteral("@ErrorWrittingToFile")) + QStringLiteral(" : ") +
                 QString::fromStdString(error));
}

} // namespace quorel::ui
