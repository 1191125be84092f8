// TMultiLang: look-up, the two setters and the walk that applies a table to
// its form.
#include "shell/lang/multilang.h"

#include <stdexcept>

namespace quorel {

namespace {
bool IsHintKey(std::string_view key) {
    return key != "\"" && IsContinuationKey(key);
}
} // namespace

TMultiLang::TMultiLang(const TLangTable& table)
    : words_(table.words), languages_(kLanguageCount), defaultEnabled_(true) {}

TMultiLang TMultiLang::ForWindow(std::string_view windowClass) {
    const TLangTable* table = FindLangTable(windowClass);
    if (!table) throw std::runtime_error("no language table for " + std::string(windowClass));
    return TMultiLang(*table);
}

std::string TMultiLang::EntryText(size_t keyIndex, int language) const {
    const std::string& text = words_[keyIndex + 1 + size_t(language)];
    if (text.empty() && defaultEnabled_ && defaultLanguage_ >= 0 && defaultLanguage_ < languages_)
        return words_[keyIndex + 1 + size_t(defaultLanguage_)];
    return text;
}

std::string TMultiLang::TextIn(std::string_view key, int language) const {
    if (language < 0 || language >= languages_) return {};
    const size_t end = CompleteLines();
    for (size_t i = 0; i < end; i += EntrySize())
        if (words_[i] == key) return EntryText(i, language);
    return {};
}

std::string TMultiLang::Text(std::string_view key) const {
    return TextIn(key, active_);
}

bool TMultiLang::HasKey(std::string_view key) const {
    const size_t end = CompleteLines();
    for (size_t i = 0; i < end; i += EntrySize())
        if (words_[i] == key) return true;
    return false;
}

bool TMultiLang::SetActiveLanguage(int language) {
    if (language < 0 || language >= languages_) {
        if (ShowError) ShowError(kTooHighLanguage);
        return false;
    }
    bool allowIt = true;
    if (BeforeLanguageChange) BeforeLanguageChange(language, allowIt);
    if (!allowIt) return false;
    active_ = language;
    if (owner_) ApplyToOwner();
    if (AfterLanguageChanged) AfterLanguageChanged(language);
    return true;
}

void TMultiLang::StartForm(int settingsLanguage) {
    SetActiveLanguage(0);
    if (settingsLanguage > 0 && settingsLanguage < languages_) SetActiveLanguage(settingsLanguage);
}

void TMultiLang::ApplyToOwner() {
    const size_t end = CompleteLines();
    const std::string formName = owner_->FormName();
    size_t i = 0;
    try {
        while (i < end) {
            const std::string& key = words_[i];
            if (key == "%Form%" || key == formName) {
                owner_->SetFormCaption(EntryText(i, active_));
                i += EntrySize();
                continue;
            }
            ILangForm::Kind kind = ILangForm::Kind::Missing;
            if (!key.empty() && key[0] != '@' && key[0] != '"') kind = owner_->ComponentKind(key);
            if (kind == ILangForm::Kind::Missing) {
                i += EntrySize();
                continue;
            }
            i = ApplyEntry(i, key, kind);
        }
    } catch (const std::exception&) {
        // A failure while applying ends the walk; what was applied stays.
    }
}

size_t TMultiLang::ApplyEntry(size_t keyIndex, const std::string& name, ILangForm::Kind kind) {
    const size_t end = CompleteLines();
    const std::string text = EntryText(keyIndex, active_);
    size_t next = keyIndex + EntrySize();
    auto continues = [&] { return next < end && words_[next] == "\""; };
    switch (kind) {
    case ILangForm::Kind::Caption:
        owner_->SetCaption(name, text);
        break;
    case ILangForm::Kind::Text:
        owner_->SetText(name, text);
        break;
    case ILangForm::Kind::Items: {
        const int count = owner_->ItemCount(name);
        if (count > 0) owner_->SetItem(name, 0, text);
        for (int item = 1; item < count; ++item) {
            if (continues()) {
                owner_->SetItem(name, item, EntryText(next, active_));
                next += EntrySize();
            } else {
                owner_->SetItem(name, item, std::string());
            }
        }
        while (continues())
            next += EntrySize(); // more texts than items
        break;
    }
    case ILangForm::Kind::FileDialog:
        owner_->SetFilter(name, text);
        if (continues()) {
            owner_->SetTitle(name, EntryText(next, active_));
            next += EntrySize();
        }
        break;
    case ILangForm::Kind::Missing:
        break;
    }
    if (next < end && IsHintKey(words_[next])) {
        owner_->SetHint(name, EntryText(next, active_));
        next += EntrySize();
    }
    return next;
}

bool TMultiLang::SetLanguages(int n) {
    const int old = languages_;
    if (n == old) return false;
    if (n > 255) {
        if (ShowError) ShowError(kTooHighLanguage);
        return false;
    }
    const size_t oldSize = size_t(old) + 1;
    const size_t entries = words_.size() / oldSize;
    if (n < old) {
        if (n <= 1) {
            if (ShowError) ShowError(kTooFewLanguages);
            return false;
        }
        const bool dropsActive = active_ >= n;
        if (!AskYesNo || !AskYesNo(dropsActive ? kDecreaseActiveQuestion : kDecreaseQuestion))
            return false;
        if (dropsActive) active_ = 0;
        for (size_t e = entries; e-- > 0;) {
            auto first = words_.begin() + long(e * oldSize + 1 + size_t(n));
            words_.erase(first, first + (old - n));
        }
    } else {
        for (size_t e = entries; e-- > 0;)
            words_.insert(words_.begin() + long(e * oldSize + oldSize), size_t(n - old),
                          std::string("?"));
    }
    languages_ = n;
    return true;
}

} // namespace quorel
