// The game block against hand-written text: hand-built game files in each of
// the five formats (dates, diagram and "if move" text), a set-up game where
// Black moves first, the ICCF promotion, the wrap at 70 characters, the
// subject and the recipient.
#include "compose/gameblock.h"
#include "compose_test_util.h"

#include <gtest/gtest.h>

namespace {

using namespace quorel;
using namespace composetest;
using Lines = std::vector<std::string>;

Lines Cat(std::initializer_list<Lines> parts) {
    Lines out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// 1.e4 e5 2.Nf3 between Ann Lee and Jörg Meyer, with three pairs of dates.
Header ClubHeader(int format, int language = 0) {
    Header h;
    h.event = "Club Cup";
    h.date = "2026.03.01";
    h.round = "3";
    h.white = "Ann Lee";
    h.black = "J\xF6rg Meyer";
    h.whiteAddress = "ann@x.org";
    h.blackAddress = "jorg@y.de";
    h.whiteElo = "2100";
    h.eco = "C40";
    h.whiteCountry = "ESP";
    h.blackCountry = "GER";
    h.boardEpd = "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq -";
    h.format = format;
    h.language = language;
    h.dates = 1;
    h.diagram = 1;
    h.ifMove = "If 2...Nc6 then 3.Bb5";
    return h;
}
const std::vector<Mv> kClubMoves = {
    {14, 34, 1, 0, 0, 0, 0, 46083, 46085},  // e4: 03/02 → 03/04, 2 days
    {64, 44, 7, 0, 0, 0, 0, 46090, 46091},  // e5: 03/09 → 03/10, 1 day
    {6, 25, 2, 0, 0, 0, 0, 46095, 46098},   // Nf3: 03/14 → 03/17, 3 days
};

const char* kBorder = "    +---+---+---+---+---+---+---+---+";
const Lines kIfMove = {"If 2...Nc6 then 3.Bb5", ""};
const Lines kRegister = {" Sent     : 03/10/26",
                         " Received : 03/14/26",
                         " Replied  : 03/17/26",
                         "",
                         "White\u00B4s time :  3/5\t (Ann Lee)",
                         "Black\u00B4s time :  1/1\t (J\u00F6rg Meyer)",
                         ""};
Lines ClubDiagram(bool german) {
    if (!german)
        return {"", "", "    Black: J\u00F6rg Meyer", "", kBorder,
                " 8  | r*| n*| b*| q*| k*| b*| n*| r*| ", kBorder,
                " 7  | p*| p*| p*| p*|   | p*| p*| p*| ", kBorder,
                " 6  |   |   |   |   |   |   |   |   | ", kBorder,
                " 5  |   |   |   |   | p*|   |   |   | ", kBorder,
                " 4  |   |   |   |   | P |   |   |   | ", kBorder,
                " 3  |   |   |   |   |   | N |   |   | ", kBorder,
                " 2  | P | P | P | P |   | P | P | P | ", kBorder,
                " 1  | R | N | B | Q | K | B |   | R | ", kBorder,
                "      a   b   c   d   e   f   g   h", "", "    White : Ann Lee", "",
                " Position after : 2.Nf3", ""};
    return {"", "", "    Black: J\u00F6rg Meyer", "", kBorder,
            " 8  | t*| s*| l*| d*| k*| l*| s*| t*| ", kBorder,
            " 7  | b*| b*| b*| b*|   | b*| b*| b*| ", kBorder,
            " 6  |   |   |   |   |   |   |   |   | ", kBorder,
            " 5  |   |   |   |   | b*|   |   |   | ", kBorder,
            " 4  |   |   |   |   | B |   |   |   | ", kBorder,
            " 3  |   |   |   |   |   | S |   |   | ", kBorder,
            " 2  | B | B | B | B |   | B | B | B | ", kBorder,
            " 1  | T | S | L | D | K | L |   | T | ", kBorder,
            "      a   b   c   d   e   f   g   h", "", "    White : Ann Lee", "",
            " Position after : 2.Sf3", ""};
}
const Lines kTags = {"[Event \"Club Cup\"]",     "[Site \"?\"]",
                     "[Date \"2026.03.01\"]",    "[Round \"3\"]",
                     "[White \"Lee, Ann\"]",     "[Black \"Meyer, J\u00F6rg\"]",
                     "[Result \"*\"]"};
const Lines kExtendedTags = {"[WhiteELO \"2100\"]",    "[BlackELO \"?\"]",
                             "[WhiteNA \"ann@x.org\"]", "[BlackNA \"jorg@y.de\"]",
                             "[WhiteCountry \"ESP\"]", "[BlackCountry \"GER\"]",
                             "[ECO \"C40\"]"};
const Lines kMoveText = {"1.e4 e5 2.Nf3 *", ""};
const Lines kTableHead = {" Event      : Club Cup", " Start Date : 2026.03.01",
                          " White      : Ann Lee\t (2100) \tESP",
                          " Black      : J\u00F6rg Meyer\t () \tGER", ""};

TEST(GameBlock, FiveFormats) {
    struct Row {
        int format, language;
        Lines expected;
    } rows[] = {
        {0, 0, Cat({kTags, {""}, kMoveText, kIfMove, kRegister, ClubDiagram(false)})},
        {1, 0, Cat({kTags, kExtendedTags, {" "}, kMoveText, kIfMove, kRegister, ClubDiagram(false)})},
        {2, 0, Cat({{"Ann Lee - J\u00F6rg Meyer", ""}, kMoveText, kIfMove, kRegister,
                    ClubDiagram(false)})},
        {3, 0, Cat({kTableHead,
                    {"                          White   Black",
                     "Rec.  Sent  Total   No.   Move    Move   Rec.   Sent   Total",
                     "03/02 03/04 2/2     1.    5254    5755   03/09  03/10  1/1     ",
                     "03/14 03/17 3/5     2.    7163   ", ""},
                    kIfMove, ClubDiagram(false)})},
        {4, 2, Cat({kTableHead,
                    {"                          White        Black",
                     "Rec.  Sent  Total   No.   Move         Move        Rec.   Sent   Total",
                     "03/02 03/04 2/2     1.    e4           e5          03/09  03/10  1/1     ",
                     "03/14 03/17 3/5     2.    Sf3         ", ""},
                    kIfMove, ClubDiagram(true)})},
        {5, 0, {}},
    };
    for (const Row& r : rows) {
        const chess::TGameRecord rec = LoadGame(ClubHeader(r.format, r.language), kClubMoves);
        EXPECT_EQ(compose::GameBlockLines(rec), r.expected) << "format " << r.format;
    }
    // Without dates and diagram, PGN keeps tags, moves and the "if move" text.
    Header h = ClubHeader(0);
    h.dates = h.diagram = 0;
    EXPECT_EQ(compose::GameBlockLines(LoadGame(h, kClubMoves)), Cat({kTags, {""}, kMoveText, kIfMove}));
}

TEST(GameBlock, TagsOfEmptyAndCommaNames) {
    struct Row {
        std::string white, black, whiteTag, blackTag;
    } rows[] = {
        {"", "", "[White \"?\"]", "[Black \"?\"]"},
        {"Smith, J.", "", "[White \"Smith, J.\"]", "[Black \"?\"]"},
        {"", "Maria del Mar", "[White \"?\"]", "[Black \"del Mar, Maria\"]"},
    };
    for (const Row& r : rows) {
        Header h;
        h.white = r.white;
        h.black = r.black;
        const Lines expected = {"[Event \"?\"]", "[Site \"?\"]", "[Date \"?\"]", "[Round \"?\"]",
                                r.whiteTag,      r.blackTag,     "[Result \"*\"]", "",
                                "1.e4 *",        ""};
        EXPECT_EQ(compose::GameBlockLines(LoadGame(h, {{14, 34, 1}})), expected) << r.white;
    }
    Header none;
    none.format = 2;
    EXPECT_EQ(compose::GameBlockLines(LoadGame(none, {})), (Lines{" - ", "", "*", ""}));
}

// 1.Nf3 Nf6 2.Ng1 Ng8 ... for the given half-moves; the last one mates.
std::vector<Mv> KnightDance(int plies) {
    std::vector<Mv> m;
    for (int k = 1; k <= plies; ++k) {
        const int n = (k + 1) / 2;
        const bool white = k % 2 == 1, out = n % 2 == 1;
        if (white)
            m.push_back(out ? Mv{6, 25, 2} : Mv{25, 6, 2});
        else
            m.push_back(out ? Mv{76, 55, 8} : Mv{55, 76, 8});
    }
    m.back().annotation = 2;
    return m;
}

TEST(GameBlock, MoveTextWrapsBeforeAWhiteMoveAt70) {
    Header h;
    h.format = 2;
    h.white = "W";
    h.black = "B";
    h.result = "1-0";
    const Lines expected = {
        "W - B",
        "",
        "1.Nf3 Nf6 2.Ng1 Ng8 3.Nf3 Nf6 4.Ng1 Ng8 5.Nf3 Nf6 6.Ng1 Ng8 7.Nf3 Nf6 ",
        "8.Ng1 Ng8 9.Nf3 Nf6 10.Ng1 Ng8 11.Nf3 Nf6 12.Ng1 Ng8 13.Nf3 Nf6 ",
        "14.Ng1 Ng8 15.Nf3 Nf6# 1-0",
        ""};
    EXPECT_EQ(compose::GameBlockLines(LoadGame(h, KnightDance(30))), expected);
}

// A set-up game where Black moves first: 1...Kd7 2.Ke2 Kd6.
TEST(GameBlock, SetUpGameWithBlackToMoveFirst) {
    Header h;
    h.event = "Cup";
    h.round = "1";
    h.white = "W";
    h.black = "B";
    h.setup = 1;
    h.whiteFirst = 0;
    h.setupEpd = "4k3/8/8/8/8/8/P7/4K3 b - - ";
    h.boardEpd = "8/8/3k4/8/8/8/P3K3/8 w - -";
    h.dates = 1;
    const std::vector<Mv> moves = {{74, 63, 12, 0, 0, 0, 0, 46083, 46085},
                                   {4, 14, 6, 0, 0, 0, 0, 46090, 46091},
                                   {63, 53, 12, 0, 0, 0, 0, 46095, 46098}};
    const Lines register_ = {" Sent     : 03/10/26", " Received : 03/14/26", " Replied  : 03/17/26", "",
                             "White\u00B4s time :  1/1\t (W)", "Black\u00B4s time :  3/5\t (B)", ""};
    const Lines diagram = {"", "", "    Black: B", "", kBorder,
                           " 8  |   |   |   |   |   |   |   |   | ", kBorder,
                           " 7  |   |   |   |   |   |   |   |   | ", kBorder,
                           " 6  |   |   |   | k*|   |   |   |   | ", kBorder,
                           " 5  |   |   |   |   |   |   |   |   | ", kBorder,
                           " 4  |   |   |   |   |   |   |   |   | ", kBorder,
                           " 3  |   |   |   |   |   |   |   |   | ", kBorder,
                           " 2  | P |   |   |   | K |   |   |   | ", kBorder,
                           " 1  |   |   |   |   |   |   |   |   | ", kBorder,
                           "      a   b   c   d   e   f   g   h", "", "    White : W", "",
                           " Position after : 2..Kd6", ""};
    h.diagram = 1;
    EXPECT_EQ(compose::GameBlockLines(LoadGame(h, moves)),
              Cat({{"[Event \"Cup\"]", "[Site \"?\"]", "[Date \"?\"]", "[Round \"1\"]",
                    "[White \"W\"]", "[Black \"B\"]", "[Result \"*\"]",
                    "[FEN \"4k3/8/8/8/8/8/P7/4K3 b - - \"]", "", "Kd7 2.Ke2 Kd6 *", ""},
                   register_, diagram}));
    h.format = 3;
    h.diagram = 0;
    EXPECT_EQ(compose::GameBlockLines(LoadGame(h, moves)),
              (Lines{" Event      : Cup", " Start Date : ", " White      : W\t () \t",
                     " Black      : B\t () \t", "",
                     "Initial position : 4k3/8/8/8/8/8/P7/4K3 b - - ", "",
                     "                          White   Black",
                     "Rec.  Sent  Total   No.   Move    Move   Rec.   Sent   Total",
                     "                    1.            5847   03/02  03/04  2/2     ",
                     "03/09 03/10 1/1     2.    5152    4746   03/14  03/17  3/5     ", ""}));
    EXPECT_EQ(compose::SubjectPart(LoadGame(h, moves)), "[Cup (1). Move :   2....Kd6] ");
    std::vector<Mv> two(moves.begin(), moves.begin() + 2);
    h.boardEpd = "8/3k4/8/8/8/8/P3K3/8 b - -";
    EXPECT_EQ(compose::SubjectPart(LoadGame(h, two)), "[Cup (1). Move :   2.Ke2] ");
}

// a7-a8=Q in the numeric table fills its column; a negative thinking time
// shows raw in the table and as 0 in the date register.
TEST(GameBlock, PromotionAndNegativeTime) {
    Header h;
    h.white = "W";
    h.black = "B";
    h.setup = 1;
    h.whiteFirst = 1;
    h.setupEpd = "4k3/P7/8/8/8/8/8/4K3 w - - ";
    h.boardEpd = "Q3k3/8/8/8/8/8/8/4K3 b - -";
    h.format = 3;
    const std::vector<Mv> moves = {{60, 70, 1, 0, 5, 0, 1, 46085, 46083}};
    const Lines table = compose::GameBlockLines(LoadGame(h, moves));
    ASSERT_EQ(table.size(), 11u);
    EXPECT_EQ(table[9], "03/04 03/02 -2/-2   1.    17181  ");
    h.format = 2;
    h.dates = 1;
    EXPECT_EQ(compose::GameBlockLines(LoadGame(h, moves)),
              (Lines{"W - B", "", "Initial position : 4k3/P7/8/8/8/8/8/4K3 w - - ", "",
                     "1.a8=Q+ *", "", " Sent     : 03/02/26", " Received : 03/04/26",
                     " Replied  : 03/02/26", "", "White\u00B4s time :  0/0\t (W)",
                     "Black\u00B4s time :  0/0\t (B)", ""}));
}

TEST(GameBlock, SubjectLabels) {
    Header h = ClubHeader(0);
    struct Row {
        int plies;
        std::string subject;
    } rows[] = {
        {10, "[Club Cup (3). Move :   5....Nf6] "},
        {23, "[Club Cup (3). Move :  12.Ng1] "},
        {0, "[Club Cup (3). Move : ] "},
    };
    for (const Row& r : rows) {
        std::vector<Mv> moves = KnightDance(r.plies > 0 ? r.plies : 1);
        moves.resize(size_t(r.plies));
        if (!moves.empty()) moves.back().annotation = 0;
        EXPECT_EQ(compose::SubjectPart(LoadGame(h, moves)), r.subject) << r.plies;
    }
    // The diagram's position line after Black's fifth move.
    h.format = 2;
    h.dates = 0;
    const Lines block = compose::GameBlockLines(LoadGame(h, [] {
        auto m = KnightDance(10);
        m.back().annotation = 0;
        return m;
    }()));
    EXPECT_EQ(block[block.size() - 2], " Position after : 5..Nf6");
}

TEST(GameBlock, WriteGameFillsRecipientSubjectSignatureAndAttachment) {
    struct Row {
        std::string own, recipient, address;
    } rows[] = {
        {"ann@x.org", "J  Meyer  Jr", "jorg@y.de"},
        {"JORG@Y.DE", "Ann Lee", "ann@x.org"},
        {"someone@else.org", "?", "?"},
        {"", "?", "?"},
    };
    for (const Row& r : rows) {
        Header h = ClubHeader(2);
        h.black = "J. Meyer, Jr";
        h.signature = 0;
        h.gameFile = 1;
        compose::TMessageDraft d;
        d.EditedFile = "/mailbox/00001001.032";
        d.GameFile = "/games/CLUB.QRL";
        d.Body = {"Hello"};
        compose::WriteGame(d, LoadGame(h, kClubMoves), {r.own, '/'});
        EXPECT_EQ(d.Recipient, r.recipient) << r.own;
        EXPECT_EQ(d.Address, r.address) << r.own;
        EXPECT_EQ(d.Subject, "[Club Cup (3). Move :   2.Nf3] ");
        EXPECT_TRUE(d.EditedFile.empty());
        EXPECT_FALSE(d.Signature);
        EXPECT_EQ(d.Attachments, (Lines{"/games/CLUB.QRL"}));
        EXPECT_EQ(d.Body.front(), "Hello");
        EXPECT_EQ(d.Body[1], "Ann Lee - J. Meyer, Jr");
    }
}

} // namespace
