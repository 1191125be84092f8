#pragma once
// What the mailbox viewer does that needs no screen: the message list of a
// folder and its sorting, the rules for dragging messages and for changing
// folders, the texts written when a message is saved or printed, and the
// editor contents of a reply, a change of a queued message and a forward.
#include "mail/message.h"
#include "mail/store.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorel::mail {

// --- the message list ---

// One line of the message list: the index record it shows and its text
// (MessageListLine: who, TAB, subject, TAB, date).
struct TListEntry {
    long Record = 0;
    TMailIndexRecord Rec;
    std::string Line;
};

// The list of one folder, in index order (records with another folder
// number are left out; deletion marks are not looked at, as the counts).
std::vector<TListEntry> BuildMessageList(const std::vector<std::pair<long, TMailIndexRecord>>& all,
                                         int32_t folder, std::string_view userName);

// What the list is sorted by: the whole line until a column head is
// clicked, then the head's column.
enum class TSortKey { Line, Sender, Subject, Date };

// The list's sort order. Every click on a head sets the key and reverses
// the direction; the list starts ascending by the whole line.
struct TListSort {
    TSortKey Key = TSortKey::Line;
    bool Ascending = true;
    void Click(TSortKey key) {
        Key = key;
        Ascending = !Ascending;
    }
};

// Sorts the list (stable: equal keys keep index order). Sender compares the
// whole line, Subject the line from its subject column on, both without
// regard to letter case; Date compares the dates the lines show (to the
// minute; equal minutes keep index order).
void SortMessageList(std::vector<TListEntry>& list, const TListSort& sort);

// --- folder rules ---

// Messages may be dropped on the fourth or a later entry of the folder pane
// (Trash, "??" and the player's folders), never on the folder they are in,
// and never taken out of Queued Mail. paneIndex counts from 0.
bool CanDropOnFolder(int paneIndex, int32_t targetFolder, int32_t currentFolder);
// New, Queued and Sent Mail keep their names.
inline bool CanRenameFolder(int32_t number) {
    return number >= kFolderTrash;
}
// The first four folders stay.
inline bool CanDeleteFolder(int32_t number) {
    return number >= kFolderUnfiled;
}

// --- output of the shown message ---

// The text file of "Save message to text file": every header line, every
// body line, one empty line; Windows-1252 with CR LF.
std::string MessageAsText(const TmsMessage& msg);
// Writes MessageAsText to path: a new file or a rewritten one (atomically)
// when append is false, appended to its end otherwise. False with error on
// failure; an existing file is then left as it was.
bool SaveMessageAsText(const std::filesystem::path& path, const TmsMessage& msg, bool append,
                       std::string* error = nullptr);

// One printed line; every line begins with the ten-blank margin.
struct TPrintLine {
    std::string Text;
    bool Bold = false;
};
// The printed page of a message: two empty lines, the bold From, To,
// Subject and Date lines (date as "mmmm, dd yy  hh:mm:ss" with the given
// month names, then " (Received/Sent)"), three empty lines, then the body.
std::vector<TPrintLine> PrintLines(const TmsMessage& msg, double date,
                                   const std::array<std::string, 12>& monthNames);
// "mmmm, dd yy  hh:mm:ss" of date with the given month names.
std::string PrintDate(double date, const std::array<std::string, 12>& monthNames);

// --- reply, change and forward ---

// What the message editor shows when the viewer opens it on a message.
struct TEditorFill {
    TmsMessage Message;             // the editor's message object (attachments cleared)
    std::string EditedFile;         // full path when a queued message is changed
    std::string EditRecipient;      // recipient's name
    std::string EditAddress;        // recipient's address
    std::string EditSubject;        // subject
    std::vector<std::string> Body;  // the body lines
    std::vector<std::string> EditCarbonCopy; // carbon-copy addresses
    std::string Caption;            // window caption
};

// The editor's caption: messageTo (the text of "@MessageTo") + " : " +
// name + " <" + address + ">".
std::string EditorCaption(std::string_view messageTo, std::string_view name,
                          std::string_view address);

// Reply to msg (queued false) or change of the queued message in file
// (queued true). A reply quotes every body line with ">" and is addressed
// to the sender without copies; a change keeps recipient, copies and body
// and names the file it rewrites. The subject is kept as it is.
TEditorFill BuildReplyOrChange(const TmsMessage& msg, bool queued, const std::string& file,
                               std::string_view messageTo);
// Forward of msg: the original's sender, first recipient and subject in
// front of its body, no recipient, the copies kept, subject "Fwd. " + the
// original subject.
TEditorFill BuildForward(const TmsMessage& msg, std::string_view messageTo);

} // namespace quorel::mail
