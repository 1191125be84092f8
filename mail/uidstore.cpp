#include "mail/uidstore.h"

#include "mail/imap.h"
#include "mail/pop3.h"
#include "platform/files.h"

#include <memory>

#include <cstdlib>

namespace quorel::mail {

namespace {

// Bytes outside "!".."~" and "%" itself as %XX: a field never holds a blank
// or a line end.
std::string Escape(std::string_view s) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (char c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f || c == '%') {
            out += '%';
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

} // namespace

std::string TUidStore::AccountKey(std::string_view protocol, std::string_view host, unsigned port,
                                  std::string_view user) {
    return Escape(protocol) + " " + Escape(Lower(host)) + " " + std::to_string(port) + " " +
           Escape(user);
}

bool TUidStore::Load(const std::filesystem::path& mailboxFolder, std::string* error) {
    file_ = mailboxFolder / kUidStoreFileName;
    accounts_.clear();
    std::error_code ec;
    if (!std::filesystem::exists(file_, ec)) return true;
    std::string text;
    if (!ReadWholeFile(file_, text)) {
        if (error) *error = "Cannot read " + file_.string();
        return false;
    }
    Account* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        if (lf == std::string::npos) break; // cut short: not a whole line
        std::string line = text.substr(pos, lf - pos);
        pos = lf + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() < 3 || line[1] != ' ') continue;
        std::string rest = line.substr(2);
        switch (line[0]) {
        case 'A':
            current = &accounts_[rest];
            break;
        case 'V':
            if (current) current->Validity = uint32_t(std::strtoul(rest.c_str(), nullptr, 10));
            break;
        case 'U':
            if (current && rest.find(' ') == std::string::npos) current->Uids.insert(rest);
            break;
        default:
            break;
        }
    }
    return true;
}

bool TUidStore::Save(std::string* error) const {
    std::string text = "# Quorel: messages already filed, per mail account\r\n";
    for (const auto& [key, account] : accounts_) {
        text += "A " + key + "\r\n";
        if (account.Validity != 0) text += "V " + std::to_string(account.Validity) + "\r\n";
        for (const auto& uid : account.Uids)
            text += "U " + uid + "\r\n";
    }
    return AtomicWriteFile(file_, text, error);
}

bool TUidStore::Known(const std::string& account, std::string_view uid) const {
    auto it = accounts_.find(account);
    return it != accounts_.end() && it->second.Uids.count(Escape(uid)) != 0;
}

void TUidStore::Remember(const std::string& account, std::string_view uid) {
    accounts_[account].Uids.insert(Escape(uid));
}

bool TUidStore::Add(const std::string& account, std::string_view uid, std::string* error) {
    Remember(account, uid);
    return AppendToFile(file_, "A " + account + "\r\nU " + Escape(uid) + "\r\n", error);
}

bool TUidStore::SetUidValidity(const std::string& account, uint32_t validity) {
    Account& a = accounts_[account];
    if (a.Validity == validity) return false;
    bool changed = a.Validity != 0 || !a.Uids.empty();
    a.Validity = validity;
    a.Uids.clear();
    return changed;
}

uint32_t TUidStore::UidValidity(const std::string& account) const {
    auto it = accounts_.find(account);
    return it == accounts_.end() ? 0 : it->second.Validity;
}

void TUidStore::KeepOnly(const std::string& account, const std::set<std::string>& onServer) {
    auto it = accounts_.find(account);
    if (it == accounts_.end()) return;
    std::set<std::string> escaped;
    for (const auto& u : onServer)
        escaped.insert(Escape(u));
    for (auto u = it->second.Uids.begin(); u != it->second.Uids.end();) {
        if (escaped.count(*u)) {
            ++u;
        } else {
            u = it->second.Uids.erase(u);
        }
    }
}

size_t TUidStore::Count(const std::string& account) const {
    auto it = accounts_.find(account);
    return it == accounts_.end() ? 0 : it->second.Uids.size();
}

namespace {
void SaveOrFail(const TUidStore& store) {
    std::string error;
    if (!store.Save(&error))
        throw EMailNetError("Cannot save the list of filed messages: " + error);
}
void AddOrFail(TUidStore& store, const std::string& account, const std::string& uid) {
    std::string error;
    if (!store.Add(account, uid, &error))
        throw EMailNetError("Cannot save the list of filed messages: " + error);
}
} // namespace

void FileOnce(TmsIMAP& imap, TUidStore& store, const std::string& account, TFileMessage file) {
    imap.OnMailboxSelected = [&store, account](uint32_t validity) {
        if (store.SetUidValidity(account, validity)) SaveOrFail(store);
    };
    imap.IsFiled = [&store, account](uint32_t uid) {
        return store.Known(account, std::to_string(uid));
    };
    imap.OnUidsListed = [&imap, &store, account] {
        std::set<std::string> present;
        for (uint32_t uid : imap.AllUids)
            present.insert(std::to_string(uid));
        store.KeepOnly(account, present);
        SaveOrFail(store); // also folds in the lines appended since
    };
    imap.OnUserMessageSave = [&imap, &store, account, file](int num, const std::string& contents) {
        file(num, contents);
        AddOrFail(store, account, std::to_string(imap.RemoteInfo.at(size_t(num)).Uid));
    };
}

void FileOnce(TmsRemotePOP& pop, TUidStore& store, const std::string& account, TFileMessage file) {
    auto uidl = std::make_shared<std::vector<std::string>>();
    pop.OnTransferringData = [&pop, &store, account, uidl] {
        try {
            *uidl = pop.Uidl();
        } catch (const EServerError&) {
            uidl->clear(); // no UIDL: every marked message is retrieved
        }
        // RemoteInfo item i is server message NumberOf(i): a session that
        // already deleted messages keeps their numbers taken.
        for (size_t i = 0; i < pop.RemoteInfo.size(); ++i) {
            const size_t n = size_t(pop.NumberOf(i) - 1);
            if (n < uidl->size() && !(*uidl)[n].empty() && store.Known(account, (*uidl)[n]))
                pop.RemoteInfo[i].Retrieve = false;
        }
        if (!uidl->empty()) {
            store.KeepOnly(account, std::set<std::string>(uidl->begin(), uidl->end()));
            SaveOrFail(store); // also folds in the lines appended since
        }
    };
    pop.OnUserMessageSave = [&pop, &store, account, file, uidl](int num,
                                                                const std::string& contents) {
        file(num, contents);
        const size_t n = size_t(pop.NumberOf(size_t(num)) - 1);
        if (n < uidl->size() && !(*uidl)[n].empty()) AddOrFail(store, account, (*uidl)[n]);
    };
}

} // namespace quorel::mail
