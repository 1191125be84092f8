#pragma once
// TMultiLang: a form's language table. It holds every text of one window in
// several languages (the Words list), answers Text("@Key") for messages, and
// on a language switch walks its entries and hands each text to the form
// through ILangForm, which the window side implements by component name.
#include "shell/lang/langtable.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorel {

// What the walk needs from a window. Component names are the windows'
// object names; every call names an existing component of the kind that
// ComponentKind reported.
class ILangForm {
  public:
    enum class Kind {
        Missing,    // no component of that name (the entry is skipped)
        Caption,    // labels, buttons, check boxes, group boxes, menu items, ...
        Text,       // edit-like components
        Items,      // radio groups, list and combo boxes, memos, tabs, headers, status panels
        FileDialog, // open and save dialogs: filter, then title
    };
    virtual ~ILangForm() = default;
    // The form's own name (its window class without the leading T is not
    // assumed: whatever name the table uses for the form's caption entry).
    virtual std::string FormName() const = 0;
    virtual void SetFormCaption(const std::string& text) = 0;
    virtual Kind ComponentKind(const std::string& name) const = 0;
    virtual void SetCaption(const std::string& name, const std::string& text) = 0;
    virtual void SetText(const std::string& name, const std::string& text) = 0;
    // Items: the number the component has now; only those are rewritten.
    virtual int ItemCount(const std::string& name) const = 0;
    virtual void SetItem(const std::string& name, int index, const std::string& text) = 0;
    virtual void SetFilter(const std::string& name, const std::string& text) = 0;
    virtual void SetTitle(const std::string& name, const std::string& text) = 0;
    virtual void SetHint(const std::string& name, const std::string& text) = 0;
};

class TMultiLang {
  public:
    // Texts of the refusals and questions of the two setters ('\n' is a
    // line break).
    static constexpr const char* kTooHighLanguage =
        "Value must not be higher than\nnumber of available languages.";
    static constexpr const char* kTooFewLanguages = "You have to provide at least 2 languages.";
    static constexpr const char* kDecreaseActiveQuestion =
        "You are decreasing the number of languages.\nEntries for the removed language will be "
        "lost.\nThe currently displayed language will be deleted, too.\n\nDo you really want to "
        "continue?";
    static constexpr const char* kDecreaseQuestion =
        "You are decreasing the number of languages.\nEntries for the removed language will be "
        "lost.\n\nContinue?";

    // An empty table: 2 languages, language 0 active and default, no fallback.
    TMultiLang() = default;
    // A window's table: its Words, 7 languages, fallback to English enabled.
    explicit TMultiLang(const TLangTable& table);
    // The compiled-in table of windowClass. Throws ELangTableError when the
    // table is malformed or std::runtime_error when there is none.
    static TMultiLang ForWindow(std::string_view windowClass);

    // Text of key (exact, case-sensitive) in the active language, with the
    // empty-text fallback; the empty text when no entry has that key.
    std::string Text(std::string_view key) const;
    // The same in a given language (used by tests and by code that needs
    // one language regardless of the active one).
    std::string TextIn(std::string_view key, int language) const;
    bool HasKey(std::string_view key) const;

    int Languages() const { return languages_; }
    // Changes the number of languages by the table's rules; false when
    // refused (error or question answered other than Yes) or unchanged.
    bool SetLanguages(int n);

    int ActiveLanguage() const { return active_; }
    // Switches language and applies the texts to the owner form (if any).
    // False when refused (too high, or BeforeLanguageChange said no).
    bool SetActiveLanguage(int language);

    int DefaultLanguage() const { return defaultLanguage_; }
    void SetDefaultLanguage(int language) { defaultLanguage_ = language; }
    bool DefaultEnabled() const { return defaultEnabled_; }
    void SetDefaultEnabled(bool on) { defaultEnabled_ = on; }

    std::vector<std::string>& Words() { return words_; }
    const std::vector<std::string>& Words() const { return words_; }

    // The form the texts are applied to; nullptr for none. Not owned.
    void SetOwner(ILangForm* form) { owner_ = form; }
    ILangForm* Owner() const { return owner_; }

    // Start of a form: switch to English (applying its texts), then to the
    // language of the settings. A value outside the table gives English.
    void StartForm(int settingsLanguage);

    // Events and the window's answers.
    std::function<void(int newLanguage, bool& allowIt)> BeforeLanguageChange;
    std::function<void(int newLanguage)> AfterLanguageChanged;
    std::function<void(const std::string& error)> ShowError;   // unset: ignored
    std::function<bool(const std::string& question)> AskYesNo; // unset: No

  private:
    size_t EntrySize() const { return size_t(languages_) + 1; }
    size_t CompleteLines() const { return words_.size() - words_.size() % EntrySize(); }
    std::string EntryText(size_t keyIndex, int language) const;
    void ApplyToOwner();
    // Applies the entry at keyIndex to a component; returns the index of
    // the first entry it did not consume.
    size_t ApplyEntry(size_t keyIndex, const std::string& name, ILangForm::Kind kind);

    std::vector<std::string> words_;
    int languages_ = 2;
    int active_ = 0;
    int defaultLanguage_ = 0;
    bool defaultEnabled_ = false;
    ILangForm* owner_ = nullptr;
};

} // namespace quorel
