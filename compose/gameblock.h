#pragma once
// The move message composer's core (TEditorDialog without widgets):
//   - WriteGame: a game record rendered as the text of a correspondence-chess
//     message in one of five notation formats (tags, move text, "if move"
//     text, date register, text diagram, or the ICCF move tables), plus the
//     subject part, the recipient chosen by the player's own address, the
//     signature flag and the game file attachment;
//   - CheckDraft / QueueDraft: the "Send" button: validation, the mail
//     message built from the editor's fields (sender, recipient, copies,
//     subject, body, signature file, attachments, X-Mailer), stored in the
//     queue folder with its index record, or nothing at all on failure.
//
// Text is UTF-8. The editor window keeps one TMessageDraft per window and
// copies its widgets into it (and back) around these calls.
#include "chess/gamerecord.h"
#include "mail/message.h"
#include "mail/store.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quorel::compose {

// The editor's message fields (names of TEditorDialog's controls).
struct TMessageDraft {
    std::string Recipient;                // EditRecipient: recipient's display name
    std::string Address;                  // EditAddress: recipient's e-mail address
    std::string Subject;                  // EditSubject (may end with a blank: keep it)
    std::vector<std::string> Body;        // Memo1: body lines without line ends
    std::vector<std::string> CarbonCopy;  // EditCarbonCopy: addresses
    std::vector<std::string> Attachments; // EditAttachments: full paths of files
    bool Signature = true;                // EditSignature: append the signature file
    bool SaveCopy = true;                 // EditSaveCopy: keep in Sent Mail after sending
    std::filesystem::path EditedFile;     // queued mail file being changed; empty = new message
    std::filesystem::path GameFile;       // games folder / file of the last game written
};

// What WriteGame needs besides the record.
struct TBlockOptions {
    std::string OwnAddress;   // setting "Email Address": chooses the opponent
    char DateSeparator = '/'; // the date separator of "MM/DD/YY" and "MM/DD"
};

// ---------------------------------------------------------------------------
// The game block.

// WriteGame: appends the game block of rec.NotationFormat (0 PGN standard,
// 1 PGN extended, 2 plain text, 3 ICCF numeric table, 4 ICCF algebraic
// table, 5 and above nothing) to draft.Body, then: clears EditedFile; sets
// Recipient (CleanDisplayName of the opponent's name) and Address by
// opt.OwnAddress ("?" for both when neither side's address matches);
// appends SubjectPart(rec) to Subject; Signature := SendSignature; adds
// GameFile to Attachments when SendGameFile is set and GameFile is not
// empty. rec.Board must hold the position at rec.CurrentPly (the game window
// copies the board shown into it first); the diagram shows it.
void WriteGame(TMessageDraft& draft, const chess::TGameRecord& rec, const TBlockOptions& opt);

// The body lines WriteGame appends for rec (the game block alone). A game
// without moves has no dates to show: its block has no date register.
std::vector<std::string> GameBlockLines(const chess::TGameRecord& rec, char dateSeparator = '/');

// The move label of the subject: "" without moves; the last move (record
// MoveCount, whose side follows the game's set-up) numbered as the move text
// numbers it, the number padded on the left to 3 characters: "  5....Nf6"
// after a Black move, " 12.e4" after a White one.
std::string MoveLabel(const chess::TGameRecord& rec);
// "[" + Event + " (" + Round + "). Move : " + MoveLabel + "] " (trailing blank kept).
std::string SubjectPart(const chess::TGameRecord& rec);

// A name as PGN tags write it: "A B" → "B, A" when it holds a space and no
// comma (split at the first space), otherwise unchanged.
std::string PgnPlayerName(std::string_view name);
// Every "," and "." replaced by a blank (display names in mail headers).
std::string CleanDisplayName(std::string_view name);

// The other side of the game as seen by ownAddress (letter case ignored):
// own = White address → Black's name and address; own = Black address →
// White's; neither → "?" and "?".
struct TOpponent {
    std::string Name;
    std::string Address;
};
TOpponent Opponent(const chess::TGameRecord& rec, std::string_view ownAddress);

// ---------------------------------------------------------------------------
// Queuing (the "Send" button).

// Outcome of the checks made before anything is written.
enum class TDraftCheck {
    Ok,
    NoAddress,   // "@FillAddress" (error box); do not queue
    NoAtSign,    // kNoAtSignText (plain message box); do not queue
    CommaInName, // "@NoCommas" (warning, OK/Cancel): OK goes on with QueueDraft
};
TDraftCheck CheckDraft(const TMessageDraft& draft);

inline constexpr const char* kNoAtSignText = "ERROR : \"@\" not found in email address";
inline constexpr const char* kQueueFailedText = "Unexpected error, message could not be created";
inline constexpr const char* kMailerLine = "X-Mailer: Quorel 4.00";

// The player's settings used when queuing.
struct TSenderSettings {
    std::string UserName;                // setting "User Name"
    std::string EmailAddress;            // setting "Email Address"
    std::filesystem::path SignatureFile; // setting "Signature File" (empty: none)
};

// Fills msg from the draft: cleared; Sender = CleanDisplayName(UserName) and
// EmailAddress; one recipient CleanDisplayName(Recipient) / Address; Subject
// (255 characters at most); each copy address in CC with the name " "; each
// attachment file read into Attachments (its file name without folder);
// Body = the draft's lines, then the signature file's lines when
// draft.Signature and a signature file is set; the X-Mailer line.
// *signatureMissing is set when the signature file cannot be read (the
// message is then built without it). Throws mail::EMessageError when an
// attachment cannot be read.
void BuildMessage(mail::TmsMessage& msg, const TMessageDraft& draft, const TSenderSettings& s,
                  bool* signatureMissing = nullptr);

struct TQueueResult {
    bool Ok = false;
    std::filesystem::path File;    // the queued mail file (on success)
    bool SignatureMissing = false; // show "@SignatureError" (the message was queued without it)
    std::string Error;             // on failure: the reason, for logs (show kQueueFailedText)
};
// QueueDraft: BuildMessage, then store.QueueMessage (a new file, or over
// draft.EditedFile replacing its index record), which adds Date and
// Message-ID. Run it after CheckDraft. On any failure Ok is false, the
// mailbox is as it was before the call (no new file, the changed message's
// file and record untouched, the index unchanged), and the editor shows
// kQueueFailedText and stays open. On success MailboxChanged is set.
TQueueResult QueueDraft(mail::TMailStore& store, const TMessageDraft& draft,
                        const TSenderSettings& s);

} // namespace quorel::compose
