// Language tables: the file format and its loader, every compiled-in table,
// and TMultiLang's look-up, setters and form walk.
#include "platform/files.h"
#include "shell/lang/multilang.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>

using namespace quorel;

namespace {

std::string Entry(const std::string& key, const std::vector<std::string>& texts) {
    std::string s = key + "\n";
    for (const auto& t : texts)
        s += t + "\n";
    return s;
}
std::vector<std::string> Seven(const std::string& base) {
    std::vector<std::string> v;
    for (int i = 0; i < 7; ++i)
        v.push_back(base + std::to_string(i));
    return v;
}

} // namespace

// ---- every table in shell/lang/tables ------------------------------------

TEST(LangTables, EveryTableInTheFolderIsCompiledInAndComplete) {
    const std::filesystem::path dir =
        std::filesystem::path(QUOREL_SOURCE_DIR) / "shell/lang/tables";
    std::set<std::string> onDisk;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".lng") onDisk.insert(e.path().stem().string());
    const auto names = LangTableNames();
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), onDisk)
        << "the build embeds a different set of tables than the folder holds";
    ASSERT_FALSE(onDisk.empty());

    for (const auto& name : onDisk) {
        SCOPED_TRACE(name);
        const TLangTable* table = nullptr;
        try {
            table = FindLangTable(name);
        } catch (const ELangTableError& e) {
            ADD_FAILURE() << e.what();
            continue;
        }
        ASSERT_NE(table, nullptr);
        // The embedded bytes are the file's current bytes.
        std::string text;
        ASSERT_TRUE(ReadWholeFile(dir / (name + ".lng"), text));
        EXPECT_EQ(ParseLangTable(name, name + ".lng", text).words, table->words)
            << "embedded table is stale";
        ASSERT_GT(table->EntryCount(), 0u);
        EXPECT_EQ(table->words.size(), table->EntryCount() * (kLanguageCount + 1));
        for (size_t e = 0; e < table->EntryCount(); ++e) {
            int empty = 0;
            for (int lang = 0; lang < kLanguageCount; ++lang)
                empty += table->Text(e, lang).empty();
            // Empty only as a deliberate fallback to a present English text,
            // or an entry that is empty in every language.
            EXPECT_TRUE(empty == kLanguageCount || !table->Text(e, 0).empty())
                << table->fileName << ":" << table->keyLines[e] << " " << table->Key(e);
        }
    }
}

// Every "@" key a source file asks for exists in a table that file names:
// a file that mentions a window class with a compiled-in table (as the
// literal "TMainForm", say) must find each "@Key" literal it holds in one of
// those tables. Files that name no table are not checked (their window is
// not known here); comments are skipped.
TEST(LangTables, EveryKeyTheCodeAsksForIsInItsWindowsTable) {
    const std::filesystem::path root(QUOREL_SOURCE_DIR);
    const auto names = LangTableNames();
    std::vector<std::string> missing;
    for (const char* module : {"ui", "shell", "mail", "pgn", "engine", "chess", "setup", "cli"}) {
        const auto dir = root / module;
        if (!std::filesystem::is_directory(dir)) continue;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
            const auto ext = e.path().extension();
            if (!e.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
            std::string text;
            if (!ReadWholeFile(e.path(), text)) continue;
            // Blank out // comments, keeping line numbers.
            for (size_t at = 0; (at = text.find("//", at)) != std::string::npos;) {
                const size_t end = text.find('\n', at);
                const size_t stop = end == std::string::npos ? text.size() : end;
                std::fill(text.begin() + long(at), text.begin() + long(stop), ' ');
                at = stop;
            }
            std::vector<const TLangTable*> tables;
            for (const auto& name : names)
                if (text.find("\"" + name + "\"") != std::string::npos)
                    tables.push_back(FindLangTable(name));
            if (tables.empty()) continue;
            for (size_t at = 0; (at = text.find("\"@", at)) != std::string::npos; ++at) {
                size_t end = at + 2;
                while (end < text.size() &&
                       (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
                    ++end;
                if (end == at + 2 || end >= text.size() || text[end] != '"') continue;
                const std::string key = text.substr(at + 1, end - at - 1);
                bool found = false;
                for (const TLangTable* t : tables)
                    for (size_t i = 0; i < t->EntryCount() && !found; ++i)
                        found = t->Key(i) == key;
                if (!found) {
                    const long line = std::count(text.begin(), text.begin() + long(at), '\n') + 1;
                    missing.push_back(std::filesystem::relative(e.path(), root).string() + ":" +
                                      std::to_string(line) + " " + key);
                }
            }
        }
    }
    EXPECT_TRUE(missing.empty()) << [&] {
        std::string s = "keys missing from the tables their files name:";
        for (const auto& m : missing)
            s += "\n  " + m;
        return s;
    }();
}

TEST(LangTables, UnknownWindowHasNoTable) {
    EXPECT_EQ(FindLangTable("TNoSuchForm"), nullptr);
    EXPECT_THROW(TMultiLang::ForWindow("TNoSuchForm"), std::runtime_error);
}

// ---- the file format -------------------------------------------------------

TEST(LangTableFormat, ParsesCommentsBlankLinesCrLfTildeAndLineBreaks) {
    std::string text = "# comment\n\n" + Entry("@A", Seven("a")) + "\n# between\n\n\n" +
                       Entry("@B", {"one\\ntwo", "~", "x", "x", "x", "x", "x"}) + "\n" +
                       Entry("Empty", {"~", "~", "~", "~", "~", "~", "~"});
    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const TLangTable t = ParseLangTable("TX", "TX.lng", crlf);
    ASSERT_EQ(t.EntryCount(), 3u);
    EXPECT_EQ(t.Key(0), "@A");
    EXPECT_EQ(t.Text(0, 6), "a6");
    EXPECT_EQ(t.Text(1, 0), "one\ntwo");
    EXPECT_EQ(t.Text(1, 1), "");
    EXPECT_EQ(t.Text(2, 0), "");
    EXPECT_EQ(t.keyLines, (std::vector<int>{3, 15, 24}));
    // The last entry may end without a line break.
    std::string noFinal = Entry("@A", Seven("a"));
    noFinal.pop_back();
    EXPECT_EQ(ParseLangTable("TX", "TX.lng", noFinal).Text(0, 6), "a6");
}

TEST(LangTableFormat, MalformedTablesNameFileAndLine) {
    const std::string good = Entry("@A", Seven("a")) + "\n";
    auto sixTexts = Seven("b");
    sixTexts.pop_back();
    struct Row {
        const char* what;
        std::string text;
        int line;
        const char* reason;
    } rows[] = {
        {"missing text line", good + Entry("@B", sixTexts) + "\n" + Entry("@C", Seven("c")), 17,
         "blank Portuguese text"},
        {"file ends inside an entry", good + Entry("@B", sixTexts), 10, "has 6 of 7 texts"},
        {"extra text line", Entry("@A", Seven("a")) + "extra\n", 9, "an extra text line?"},
        {"blank text", Entry("@A", {"a", "b", "", "d", "e", "f", "g"}), 4, "blank German text"},
        {"key with blanks", "@A \n" + Entry("", Seven("a")).substr(1), 1, "surrounding blanks"},
        {"repeated key", good + Entry("@A", Seven("b")), 10, "appears twice"},
        {"English ~ alone", Entry("@A", {"~", "b", "c", "d", "e", "f", "g"}), 2, "no English text"},
        {"invalid UTF-8", Entry("@A", {"a", "b", "c\xC3", "d", "e", "f", "g"}), 4, "UTF-8"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        try {
            ParseLangTable("TX", "TX.lng", r.text);
            ADD_FAILURE() << "accepted";
        } catch (const ELangTableError& e) {
            EXPECT_EQ(e.File(), "TX.lng");
            EXPECT_EQ(e.Line(), r.line) << e.what();
            EXPECT_NE(std::string(e.what()).find(r.reason), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).rfind("TX.lng:" + std::to_string(r.line) + ": ", 0),
                      0u);
        }
    }
    // Continuation keys repeat freely.
    const std::string list = Entry("List", Seven("a")) + "\n" + Entry("\"", Seven("b")) + "\n" +
                             Entry("\"", Seven("c")) + "\n" + Entry("\".Hint", Seven("h")) + "\n" +
                             Entry("\".hint", Seven("h"));
    EXPECT_EQ(ParseLangTable("TX", "TX.lng", list).EntryCount(), 5u);
}

// ---- TMultiLang -------------------------------------------------------------

namespace {

// A form of named components that records what the walk set.
class FakeForm : public ILangForm {
  public:
    std::string name = "TForm1";
    std::string caption;
    std::map<std::string, Kind> kinds;
    std::map<std::string, std::string> captions, texts, hints, filters, titles;
    std::map<std::string, std::vector<std::string>> items;
    std::string throwOn;

    std::string FormName() const override { return name; }
    void SetFormCaption(const std::string& t) override { caption = t; }
    Kind ComponentKind(const std::string& n) const override {
        auto it = kinds.find(n);
        return it == kinds.end() ? Kind::Missing : it->second;
    }
    void SetCaption(const std::string& n, const std::string& t) override {
        if (n == throwOn) throw std::runtime_error("broken");
        captions[n] = t;
    }
    void SetText(const std::string& n, const std::string& t) override { texts[n] = t; }
    int ItemCount(const std::string& n) const override { return int(items.at(n).size()); }
    void SetItem(const std::string& n, int i, const std::string& t) override {
        items.at(n).at(size_t(i)) = t;
    }
    void SetFilter(const std::string& n, const std::string& t) override { filters[n] = t; }
    void SetTitle(const std::string& n, const std::string& t) override { titles[n] = t; }
    void SetHint(const std::string& n, const std::string& t) override { hints[n] = t; }
};

// Words for 3 languages from rows of key + 3 texts.
std::vector<std::string> Words3(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::string> w;
    for (const auto& r : rows)
        w.insert(w.end(), r.begin(), r.end());
    return w;
}

TMultiLang Lang3(const std::vector<std::vector<std::string>>& rows) {
    TMultiLang m;
    m.AskYesNo = [](const std::string&) { return true; };
    m.SetLanguages(3);
    m.Words() = Words3(rows);
    return m;
}

} // namespace

TEST(MultiLang, TextFallsBackToTheDefaultLanguageOnlyWhenEnabled) {
    TMultiLang m = Lang3({{"@Hello", "Hello", "Hola", ""}, {"@hello", "lower", "x", "y"}});
    ASSERT_TRUE(m.SetActiveLanguage(2));
    EXPECT_EQ(m.Text("@Hello"), "");
    m.SetDefaultEnabled(true);
    EXPECT_EQ(m.Text("@Hello"), "Hello");
    m.SetDefaultLanguage(1);
    EXPECT_EQ(m.Text("@Hello"), "Hola");
    EXPECT_EQ(m.Text("@hello"), "y"); // keys are case-sensitive
    EXPECT_EQ(m.Text("@Missing"), "");
    // An incomplete last entry is not used.
    m.Words().insert(m.Words().end(), {"@Tail", "t0", "t1"});
    EXPECT_FALSE(m.HasKey("@Tail"));
    EXPECT_EQ(m.Text("@Tail"), "");
}

TEST(MultiLang, CompiledTablesAnswerInEveryLanguage) {
    TMultiLang m = TMultiLang::ForWindow("TMainForm");
    EXPECT_EQ(m.Languages(), 7);
    EXPECT_EQ(m.Text("@NewMail"), "New Mail");
    ASSERT_TRUE(m.SetActiveLanguage(5));
    EXPECT_EQ(m.Text("@NewMail"), "Correu nou");
}

TEST(MultiLang, SettingTheLanguageWalksTheForm) {
    FakeForm f;
    f.kinds = {{"Label1", ILangForm::Kind::Caption},     {"Edit1", ILangForm::Kind::Text},
               {"Radio", ILangForm::Kind::Items},        {"Short", ILangForm::Kind::Items},
               {"OpenDlg", ILangForm::Kind::FileDialog}, {"Button", ILangForm::Kind::Caption}};
    f.items = {{"Radio", {"", "", ""}}, {"Short", {"k", "k", "k"}}};
    TMultiLang m = Lang3({
        {"%Form%", "Form E", "Form S", "Form G"},
        {"Label1", "Label E", "Label S", ""},
        {"\".HINT", "Hint E", "Hint S", "Hint G"},
        {"Gone", "x", "x", "x"}, // component no longer on the form
        {"Edit1", "Edit E", "Edit S", "Edit G"},
        {"@Msg", "m", "m", "m"},
        {"Radio", "r0E", "r0S", "r0G"},
        {"\"", "r1E", "r1S", "r1G"},
        {"\"", "r2E", "r2S", "r2G"},
        {"\"", "r3E", "r3S", "r3G"}, // more texts than items
        {"\".Hint", "RH E", "RH S", "RH G"},
        {"Short", "s0E", "s0S", "s0G"},
        {"\"", "s1E", "s1S", "s1G"},
        {"OpenDlg", "*.bmp E", "*.bmp S", "*.bmp G"},
        {"\"", "Title E", "Title S", "Title G"},
        {"TForm1", "Named E", "Named S", "Named G"},
        {"Button", "Btn E", "Btn S", "Btn G"},
    });
    m.SetDefaultEnabled(true);
    m.SetOwner(&f);
    std::vector<int> after;
    m.AfterLanguageChanged = [&](int l) { after.push_back(l); };
    ASSERT_TRUE(m.SetActiveLanguage(2));
    EXPECT_EQ(f.caption, "Named G"); // the later caption entry wins
    EXPECT_EQ(f.captions["Label1"], "Label E");
    EXPECT_EQ(f.hints["Label1"], "Hint G");
    EXPECT_EQ(f.texts["Edit1"], "Edit G");
    EXPECT_EQ(f.items["Radio"], (std::vector<std::string>{"r0G", "r1G", "r2G"}));
    EXPECT_EQ(f.hints["Radio"], "RH G");
    EXPECT_EQ(f.items["Short"], (std::vector<std::string>{"s0G", "s1G", ""}));
    EXPECT_EQ(f.filters["OpenDlg"], "*.bmp G");
    EXPECT_EQ(f.titles["OpenDlg"], "Title G");
    EXPECT_EQ(f.captions["Button"], "Btn G");
    EXPECT_EQ(after, std::vector<int>{2});

    // A failure while applying ends the walk; the event still follows.
    f.throwOn = "Label1";
    f.texts.clear();
    ASSERT_TRUE(m.SetActiveLanguage(1));
    EXPECT_EQ(f.caption, "Form S");
    EXPECT_TRUE(f.texts.empty());
    EXPECT_EQ(after, (std::vector<int>{2, 1}));
}

TEST(MultiLang, StartFormShowsEnglishThenTheChosenLanguage) {
    FakeForm f;
    f.kinds = {{"Label1", ILangForm::Kind::Caption}};
    TMultiLang m = Lang3({{"Label1", "E", "S", "G"}});
    m.SetOwner(&f);
    std::vector<int> seen;
    m.AfterLanguageChanged = [&](int l) { seen.push_back(l); };
    m.StartForm(1);
    EXPECT_EQ(seen, (std::vector<int>{0, 1}));
    EXPECT_EQ(f.captions["Label1"], "S");
    seen.clear();
    m.StartForm(9); // out of range: English
    EXPECT_EQ(seen, std::vector<int>{0});
}

TEST(MultiLang, ActiveLanguageRefusals) {
    TMultiLang m = Lang3({{"@A", "a", "b", "c"}});
    std::vector<std::string> errors;
    m.ShowError = [&](const std::string& e) { errors.push_back(e); };
    EXPECT_FALSE(m.SetActiveLanguage(3));
    EXPECT_EQ(errors, std::vector<std::string>{TMultiLang::kTooHighLanguage});
    EXPECT_EQ(m.ActiveLanguage(), 0);
    m.BeforeLanguageChange = [](int l, bool& allow) { allow = l != 2; };
    EXPECT_FALSE(m.SetActiveLanguage(2));
    EXPECT_EQ(m.ActiveLanguage(), 0);
    EXPECT_TRUE(m.SetActiveLanguage(1));
    EXPECT_EQ(m.Text("@A"), "b");
}

TEST(MultiLang, ChangingTheNumberOfLanguages) {
    const TLangTable* table = FindLangTable("TMainForm");
    ASSERT_NE(table, nullptr);
    TMultiLang m(*table);
    std::vector<std::string> questions, errors;
    bool answer = false;
    m.AskYesNo = [&](const std::string& q) {
        questions.push_back(q);
        return answer;
    };
    m.ShowError = [&](const std::string& e) { errors.push_back(e); };
    const auto original = m.Words();

    ASSERT_TRUE(m.SetLanguages(8));
    ASSERT_EQ(m.Words().size(), original.size() / 8 * 9);
    for (size_t i = 0; i < m.Words().size(); i += 9)
        EXPECT_EQ(m.Words()[i + 8], "?");
    EXPECT_EQ(m.Text("@NewMail"), "New Mail");

    EXPECT_FALSE(m.SetLanguages(7)); // answered No
    EXPECT_EQ(m.Languages(), 8);
    EXPECT_EQ(questions.back(), TMultiLang::kDecreaseQuestion);
    answer = true;
    ASSERT_TRUE(m.SetLanguages(7));
    EXPECT_EQ(m.Words(), original);

    ASSERT_TRUE(m.SetActiveLanguage(6));
    ASSERT_TRUE(m.SetLanguages(3));
    EXPECT_EQ(questions.back(), TMultiLang::kDecreaseActiveQuestion);
    EXPECT_EQ(m.ActiveLanguage(), 0);
    EXPECT_EQ(m.Words().size(), original.size() / 8 * 4);
    EXPECT_EQ(m.Text("@TrashMail"), "Trash");

    EXPECT_FALSE(m.SetLanguages(1));
    EXPECT_EQ(errors, std::vector<std::string>{TMultiLang::kTooFewLanguages});
    EXPECT_EQ(m.Languages(), 3);
    EXPECT_FALSE(m.SetLanguages(3)); // unchanged
}
