#pragma once
// Handing a message from the editor to an outside mail program instead of
// queuing it: Pegasus Mail (a message file in its folder and the command
// line "Pegasus_Path -J file"), or the desktop's own mail client through
// xdg-email. This module builds the files and command lines and files the
// copy in Sent Mail; starting the program is the caller's (the window uses
// the toolkit's detached start, which reports a program that cannot start).
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "mail/message.h"

namespace quorel::mail {

class TMailStore;

// The editor's fields as they stand when the message is handed over.
struct THandoffMessage {
    std::string Recipient; // display name as typed (commas kept)
    std::string Address;   // recipient's address
    std::string Subject;
    std::vector<std::string> CarbonCopies; // addresses
    std::vector<std::string> Attachments;  // full paths, in list order
    std::vector<std::string> Body;         // lines as they stand (no signature)
    bool SaveCopy = true;
};

// File name of the Pegasus message file.
inline constexpr const char* kPegasusMessageFileName = "quorel.msg";
// Last body line of the copy filed after each kind of hand-off.
inline constexpr const char* kPegasusCopyNote = "Message sent trough Pegasus Mail";
inline constexpr const char* kDesktopCopyNote = "Message sent through the desktop mail program";
// The desktop hand-off program (package xdg-utils).
inline constexpr const char* kXdgEmail = "xdg-email";

// Where the message file goes: the folder of pegasusPath + "quorel.msg";
// a path without a folder (a program found on the PATH) puts it in
// fallbackFolder (the mailbox folder).
std::filesystem::path PegasusMessageFile(std::string_view pegasusPath,
                                         const std::filesystem::path& fallbackFolder);

// The message file's bytes: Windows-1252 lines ended by CR LF —
// "*** QUOREL->PEGASUS message file", "TO:" name " <" address ">",
// "SU:" subject, "RE:" ownAddress, "CC:" the copies joined by "," (only
// when there are any), "CS:1"/"CS:0", one "AT:" path ",Unknown,0" per
// attachment, an empty line, then the body lines.
std::string PegasusMessageText(const THandoffMessage& m, std::string_view ownAddress);

// Writes text as the message file, replacing any earlier one. False, with
// the system's text in error, when it cannot be created.
bool WritePegasusMessageFile(const std::filesystem::path& file, std::string_view text,
                             std::string* error = nullptr);

// The program and its arguments: pegasusPath, "-J", the message file's
// path. Joined with blanks they are the command line "Pegasus_Path -J file".
std::vector<std::string> PegasusCommand(std::string_view pegasusPath,
                                        const std::filesystem::path& messageFile);

// The arguments of xdg-email (program name not included): one "--cc" per
// copy, "--subject", "--body" (the lines joined by LF), one "--attach" per
// attachment, then the recipient's address. Every value is a separate
// argument, so no text of the message is ever read by a shell.
std::vector<std::string> XdgEmailArguments(const THandoffMessage& m);

// The full path of xdg-email when it is found on pathVariable (the PATH
// value, folders separated by ":"), else "".
std::string FindOnPath(std::string_view program, std::string_view pathVariable);

// Turns msg (already filled as for queuing, without attachments) into the
// copy of a handed-off message: when attachments were listed, an empty
// line, "This message contained attachments : ", an empty line and one line
// per path indented by five blanks; then an empty line and note.
void AddHandoffNote(TmsMessage& msg, const std::vector<std::string>& attachments,
                    std::string_view note);

// Files the copy in Sent Mail: saved as NewMessageFileName(mailbox, "003"),
// or over editedFile's name in the mailbox when a queued message was being
// changed; its index record (From sender name or address, To first
// recipient's name or address, Subject, FileName, no attachments, Date now,
// SaveCopy 1, Folder 3) is appended, or replaces the record holding that
// file name. A Date and a Message-ID header are added when msg has none.
// Sets MailboxChanged. False (the copy missing, the index as it
// was) when the file or the record cannot be written.
bool FileHandoffCopy(TMailStore& store, const TmsMessage& msg,
                     const std::filesystem::path& editedFile = {});

// "Save message to disk": the text file's bytes, Windows-1252 lines ended by
// CR LF — with toHeader "To: " + address and an empty line first — then every
// body line and one empty line.
std::string MessageTextFile(std::string_view address, const std::vector<std::string>& body,
                            bool toHeader);

} // namespace quorel::mail
