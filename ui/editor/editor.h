#pragma once
// The message editor (TEditorDialog): where a move message is written. It
// holds the recipient and address, subject, body, carbon copies and
// attachments of one message; the game window renders a game into it
// (WriteGame), the mailbox viewer fills it from a stored message (SetData),
// and "Send" queues it in the mailbox. Several editors may be open at once,
// each a child window of the frame. The text and the queuing are done by the
// compose module; this window only wires widgets to it.
#include <QString>
#include <QWidget>

#include "chess/gamerecord.h"
#include "compose/gameblock.h"
#include "mail/handoff.h"
#include "mail/message.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace quorel::ui {

class TEditorDialog : public QWidget {
    Q_OBJECT
  public:
    explicit TEditorDialog(QWidget* parent = nullptr);

    // A new, empty editor shown as a child window of the frame that holds
    // origin (a game window, the frame, or a dialog of the frame); a window
    // of its own when there is no frame. The editor is freed when it closes.
    static TEditorDialog* Open(QWidget* origin);

    // Appends the game block of rec (its Board field at CurrentPly) to the
    // body and sets recipient, address, caption, subject, the signature flag
    // and, when the game says so, the game file attachment. Clears EditedFile.
    void WriteGame(const chess::TGameRecord& rec);

    // The message object the editor fills and saves. The mailbox viewer loads
    // a stored message into it and then calls SetData.
    mail::TmsMessage msMessage;
    // Fills recipient and address from the first recipient of msMessage
    // (nothing when it has none), the subject from its Subject, the body from
    // its Body, and the carbon copies (cleared first) with the address of each
    // entry of its CC. Leaves the body unmodified.
    void SetData();

    // Full path of the queued mail file being changed ("" for a new message
    // or a reply); set by the viewer's Reply / Change on a queued message.
    QString EditedFile() const { return editedFile_; }
    void SetEditedFile(const QString& path) { editedFile_ = path; }
    // Full path of the game file of the last game written into the body.
    QString GameFile() const { return gameFile_; }
    void SetGameFile(const QString& path) { gameFile_ = path; }

    // The fields as the compose module sees them, and back.
    compose::TMessageDraft Draft() const;
    void SetDraft(const compose::TMessageDraft& d);
    bool BodyModified() const;
    void SetBodyModified(bool on);

    // Commands.
    bool QueueBtnClick();      // "Send": true when the message was queued
    bool PegasusButtonClick(); // true when handed to Pegasus Mail
    bool DesktopMailClick();   // true when handed to xdg-email
    void MergeButtonClick();
    void PrintButtonClick();
    void SaveToDiskButtonClick();
    void LoadFileBtnClick();
    void FontButtonClick();
    void EditWordWrapClick();
    void addressbuttonClick();
    void FindCarbonCopyButtonClick();
    void ClearCarbonCopyButtonClick();
    void FindAttachmentsbuttonClick();
    void ClearAttachmentsButtonClick();
    void Button1Click(); // "< Game"
    void ExitClick();

    // Caption: "@MessageTo" + " : " + name + " <" + address + ">".
    void SetCaption();
    // Which hand-off entries the Tools menu offers now (Pegasus_Path set,
    // xdg-email on the PATH).
    void UpdateToolsMenu();
    QAction* PegasusAction() const { return pegasusAction_; }
    QAction* DesktopMailAction() const { return desktopAction_; }

    // A text of the editor's table by "@" key.
    QString Msg(const QString& key) const;

  signals:
    void captionChanged(const QString& caption);

  protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

  private:
    void BuildWidgets();
    void BuildToolsMenu();
    void DisableControls();
    void EnableControls();
    void RepaintButtons();
    void AppendBodyLines(const std::vector<std::string>& lines);
    // Validation shared by Send and the hand-offs; false to stop.
    bool CheckFields(const compose::TMessageDraft& d);
    // The editor's fields for an outside mail program.
    mail::THandoffMessage Handoff(const compose::TMessageDraft& d) const;
    // Files the copy of a handed-off message in Sent Mail (errors silent);
    // without a copy, a queued message that was being changed goes to Trash
    // so that it is not sent a second time.
    void FileCopyAfterHandoff(const compose::TMessageDraft& d, const char* note);
    void CloseWindow();
    QString ProgramFolder() const;

    QString editedFile_, gameFile_;

    QLineEdit *editRecipient_, *editAddress_, *editSubject_;
    QComboBox *editCarbonCopy_, *editAttachments_;
    QCheckBox *editSignature_, *editSaveCopy_, *editWordWrap_;
    QPlainTextEdit* memo_;
    QPushButton *queueButton_, *toolsButton_, *exitButton_;
    QToolButton *cutButton_, *copyButton_, *pasteButton_;
    QMenu* toolsMenu_ = nullptr;
    QAction *pegasusAction_ = nullptr, *desktopAction_ = nullptr, *mergeAction_ = nullptr;
};

} // namespace quorel::ui
