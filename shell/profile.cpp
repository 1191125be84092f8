// Command line, profile file names and the password file.
#include "shell/profile.h"

#include "platform/codepage.h"
#include "platform/files.h"

#include <system_error>

namespace quorel {

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TCommandLine cl;
    for (const std::string& arg : args) {
        const std::string upper = AsciiUpper(arg);
        if (upper == "-DEBUGMODE") cl.DebugMode = true;
        if (upper.find("-USER:") != std::string::npos) {
            std::string_view rest = std::string_view(arg).substr(std::min<size_t>(6, arg.size()));
            // Trim as the original did: every control character and blank.
            while (!rest.empty() && static_cast<unsigned char>(rest.front()) <= ' ')
                rest.remove_prefix(1);
            while (!rest.empty() && static_cast<unsigned char>(rest.back()) <= ' ')
                rest.remove_suffix(1);
            if (!rest.empty()) cl.Profile = std::string(rest);
        }
    }
    return cl;
}

std::string SettingsFileName(std::string_view profile) {
    return std::string(profile) + ".ini";
}
std::string PasswordFileName(std::string_view profile) {
    return std::string(profile) + ".pwd";
}
std::string SmtpPasswordFileName(std::string_view profile) {
    return std::string(profile) + "-smtp.pwd";
}

std::string ScramblePassword(std::string_view text) {
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = char(out[i] ^ kPasswordKey[i % 80]);
    return out;
}

std::string EncodePasswordRecord(std::string_view password) {
    std::string cp = Utf8ToCp1252(password);
    if (cp.size() > 255) cp.resize(255);
    std::string record(kPasswordRecordSize, '\0');
    record[0] = char(cp.size());
    const std::string scrambled = ScramblePassword(cp);
    record.replace(1, scrambled.size(), scrambled);
    return record;
}

std::string DecodePasswordRecord(std::string_view record) {
    if (record.empty()) return {};
    size_t len = static_cast<unsigned char>(record[0]);
    len = std::min(len, record.size() - 1);
    return Cp1252ToUtf8(ScramblePassword(record.substr(1, len)));
}

std::optional<std::string> ReadPasswordFile(const std::filesystem::path& path) {
    std::string data;
    if (!ReadWholeFile(path, data)) return std::nullopt;
    return DecodePasswordRecord(data.substr(0, kPasswordRecordSize));
}

bool WritePasswordFile(const std::filesystem::path& path, std::string_view password,
                       std::string* error) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
        std::filesystem::permissions(
            path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
            std::filesystem::perm_options::replace, ec);
    return AtomicWriteFile(path, EncodePasswordRecord(password), error, 0600);
}

} // namespace quorel
