// The mailbox viewer's logic without a screen.
#include "mail/mailview.h"
#include "platform/datetime.h"
#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

using namespace quorel;
using namespace quorel::mail;
namespace fs = std::filesystem;

namespace {

TMailIndexRecord Rec(const std::string& from, const std::string& subject, double date,
                     int32_t folder = kFolderNew) {
    TMailIndexRecord r;
    r.From = from;
    r.To = "Opponent";
    r.Subject = subject;
    r.FileName = "00000001.032";
    r.Date = date;
    r.Folder = folder;
    return r;
}

std::vector<long> Order(const std::vector<TListEntry>& list) {
    std::vector<long> out;
    for (const auto& e : list)
        out.push_back(e.Record);
    return out;
}

const std::array<std::string, 12> kMonths = {"January", "February", "March",     "April",
                                             "May",     "June",     "July",      "August",
                                             "September", "October", "November", "December"};

TmsMessage Sample() {
    TmsMessage m;
    m.Sender = {"Ana Ruiz", "ana@example.org"};
    m.Recipients.Add("Bo Berg", "bo@example.net");
    m.CC.Add("Cid", "cid@example.com");
    m.Subject = "Game 12: 14. Nf3";
    m.Body = {"14. Nf3", "", "Your move."};
    m.Attachments.Add("game12.qrl", "bytes");
    return m;
}

} // namespace

TEST(MailView, ListHoldsOneFolderAndSortsByEachColumnBothWays) {
    const double d = EncodeDate(2026, 3, 5);
    // Who (UTF-8 "Émile" takes more bytes than characters), subject, date.
    std::vector<std::pair<long, TMailIndexRecord>> all = {
        {1, Rec("bruno", "Zugzwang", d + EncodeTime(9, 0, 0))},
        {2, Rec("Anna", "opening", d + EncodeTime(7, 30, 0))},
        {3, Rec("x", "elsewhere", d, kFolderSent)},
        {4, Rec("\xC3\x89mile", "Middle game", d + EncodeTime(8, 15, 0))},
        {5, Rec("", "ALPHA", d - 40)},
        {6, Rec("Me", "sent by me", d + EncodeTime(8, 15, 30))},
    };
    auto list = BuildMessageList(all, kFolderNew, "Me");
    ASSERT_EQ(Order(list), (std::vector<long>{1, 2, 4, 5, 6}));
    EXPECT_EQ(list[3].Line.substr(0, 3), "?? ");
    EXPECT_EQ(list[4].Line.substr(0, 13), "To: Opponent ");

    struct Case {
        TSortKey key;
        bool ascending;
        std::vector<long> order;
    };
    const Case cases[] = {
        // "??" < "Anna" < "bruno" < "To: ..." < "Émile" (letter case ignored)
        {TSortKey::Line, true, {5, 2, 1, 6, 4}},
        {TSortKey::Sender, true, {5, 2, 1, 6, 4}},
        {TSortKey::Sender, false, {4, 6, 1, 2, 5}},
        {TSortKey::Subject, true, {5, 4, 2, 6, 1}},
        {TSortKey::Subject, false, {1, 6, 2, 4, 5}},
        // 4 and 6 show the same minute: they keep index order either way.
        {TSortKey::Date, true, {5, 2, 4, 6, 1}},
        {TSortKey::Date, false, {1, 4, 6, 2, 5}},
    };
    for (const auto& c : cases) {
        auto sorted = list;
        SortMessageList(sorted, TListSort{c.key, c.ascending});
        EXPECT_EQ(Order(sorted), c.order) << int(c.key) << " " << c.ascending;
    }
}

TEST(MailView, EveryHeadClickReversesTheDirection) {
    TListSort s;
    EXPECT_EQ(s.Key, TSortKey::Line);
    EXPECT_TRUE(s.Ascending);
    s.Click(TSortKey::Date);
    EXPECT_FALSE(s.Ascending);
    s.Click(TSortKey::Subject);
    EXPECT_EQ(s.Key, TSortKey::Subject);
    EXPECT_TRUE(s.Ascending);
}

TEST(MailView, FolderRules) {
    struct Case {
        int pane;
        int32_t target, current;
        bool allowed;
    };
    const Case drops[] = {
        {0, kFolderNew, 11, false},         {1, kFolderQueued, kFolderNew, false},
        {2, kFolderSent, kFolderNew, false}, {3, kFolderTrash, kFolderNew, true},
        {4, kFolderUnfiled, kFolderTrash, true}, {5, 11, kFolderNew, true},
        {5, 11, 11, false},                  {3, kFolderTrash, kFolderQueued, false},
        {6, 12, kFolderSent, true},
    };
    for (const auto& c : drops)
        EXPECT_EQ(CanDropOnFolder(c.pane, c.target, c.current), c.allowed)
            << c.pane << " " << c.target << " " << c.current;
    for (int32_t n : {1, 2, 3})
        EXPECT_FALSE(CanRenameFolder(n));
    for (int32_t n : {4, 5, 11})
        EXPECT_TRUE(CanRenameFolder(n));
    for (int32_t n : {1, 2, 3, 4})
        EXPECT_FALSE(CanDeleteFolder(n));
    for (int32_t n : {5, 11, 12})
        EXPECT_TRUE(CanDeleteFolder(n));
}

TEST(MailView, SavedTextIsHeadersBodyAndAnEmptyLineOverwrittenOrAppended) {
    TmsMessage m;
    m.Headers.Lines = {"From: Ana <ana@example.org>", "Subject: caf\xC3\xA9"};
    m.Body = {"line 1", "", "\xE2\x82\xAC 5"};
    const std::string expected =
        "From: Ana <ana@example.org>\r\nSubject: caf\xE9\r\nline 1\r\n\r\n\x80 5\r\n\r\n";
    EXPECT_EQ(MessageAsText(m), expected);

    std::random_device rd;
    const fs::path dir = fs::temp_directory_path() / ("qrl-view-" + std::to_string(rd()));
    fs::create_directories(dir);
    const fs::path file = dir / "out.txt";
    std::string bytes;
    ASSERT_TRUE(SaveMessageAsText(file, m, false));
    ASSERT_TRUE(SaveMessageAsText(file, m, true));
    ASSERT_TRUE(ReadWholeFile(file, bytes));
    EXPECT_EQ(bytes, expected + expected);
    ASSERT_TRUE(SaveMessageAsText(file, m, false));
    ASSERT_TRUE(ReadWholeFile(file, bytes));
    EXPECT_EQ(bytes, expected);
    std::string error;
    EXPECT_FALSE(SaveMessageAsText(dir / "missing" / "x.txt", m, false, &error));
    EXPECT_FALSE(error.empty());
    fs::remove_all(dir);
}

TEST(MailView, PrintedPage) {
    TmsMessage m = Sample();
    const double date = EncodeDate(2026, 11, 4) + EncodeTime(21, 5, 9);
    auto lines = PrintLines(m, date, kMonths);
    const std::string pad(10, ' ');
    const std::vector<std::pair<std::string, bool>> expected = {
        {pad, false},
        {pad, false},
        {pad + "   From : Ana Ruiz <ana@example.org>", true},
        {pad + "     To : Bo Berg <bo@example.net>", true},
        {pad + "Subject : Game 12: 14. Nf3", true},
        {pad + "   Date : November, 04 26  21:05:09 (Received/Sent)", true},
        {pad, false},
        {pad, false},
        {pad, false},
        {pad + "14. Nf3", false},
        {pad, false},
        {pad + "Your move.", false},
    };
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].Text, expected[i].first) << i;
        EXPECT_EQ(lines[i].Bold, expected[i].second) << i;
    }
    m.Recipients.Clear();
    EXPECT_EQ(PrintLines(m, date, kMonths)[3].Text, pad + "     To : ?");
}

TEST(MailView, ReplyChangeAndForwardContents) {
    const TmsMessage m = Sample();

    TEditorFill reply = BuildReplyOrChange(m, false, "/box/12345678.032", "Message to");
    EXPECT_EQ(reply.EditedFile, "");
    EXPECT_EQ(reply.EditRecipient, "Ana Ruiz");
    EXPECT_EQ(reply.EditAddress, "ana@example.org");
    EXPECT_EQ(reply.Caption, "Message to : Ana Ruiz <ana@example.org>");
    EXPECT_EQ(reply.EditSubject, "Game 12: 14. Nf3");
    EXPECT_EQ(reply.Body, (std::vector<std::string>{">14. Nf3", ">", ">Your move."}));
    EXPECT_TRUE(reply.EditCarbonCopy.empty());
    EXPECT_TRUE(reply.Message.Attachments.Empty());

    TEditorFill change = BuildReplyOrChange(m, true, "/box/12345678.032", "Message to");
    EXPECT_EQ(change.EditedFile, "/box/12345678.032");
    EXPECT_EQ(change.EditRecipient, "Bo Berg");
    EXPECT_EQ(change.EditAddress, "bo@example.net");
    EXPECT_EQ(change.Caption, "Message to : Bo Berg <bo@example.net>");
    EXPECT_EQ(change.Body, m.Body);
    EXPECT_EQ(change.EditCarbonCopy, (std::vector<std::string>{"cid@example.com"}));
    EXPECT_TRUE(change.Message.Attachments.Empty());

    TEditorFill fwd = BuildForward(m, "Message to");
    EXPECT_EQ(fwd.EditedFile, "");
    EXPECT_EQ(fwd.EditRecipient, "");
    EXPECT_EQ(fwd.EditAddress, "");
    EXPECT_EQ(fwd.Caption, "Message to : ");
    EXPECT_EQ(fwd.EditSubject, "Fwd. Game 12: 14. Nf3");
    EXPECT_EQ(fwd.EditCarbonCopy, (std::vector<std::string>{"cid@example.com"}));
    EXPECT_EQ(fwd.Body, (std::vector<std::string>{
                            "Forwarded message follows, originally:", "",
                            "\tFrom\t: Ana Ruiz <ana@example.org>",
                            "\tTo\t: Bo Berg <bo@example.net>", "\tSubject\t: Game 12: 14. Nf3",
                            "", "---", "", "", "14. Nf3", "", "Your move."}));
    EXPECT_TRUE(fwd.Message.Attachments.Empty());
}
