// Inputs that once crashed, hung or misbehaved (fuzzer findings and
// hand-made hostile messages), kept in tests/mail_model/regress/ and
// replayed here through the decoder and the header lookup.
#include "mail/message.h"
#include "mail_test_util.h"

#include <gtest/gtest.h>

using namespace quorel::mail;
namespace fs = std::filesystem;

namespace {

TEST(Regress, ReplayEveryKeptInput) {
    const fs::path dir = fs::path(QUOREL_SOURCE_DIR) / "tests/mail_model/regress";
    ASSERT_TRUE(fs::is_directory(dir));
    int replayed = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        if (!e.is_regular_file() || e.path().extension() == ".md") continue;
        const std::string data = mailtest::ReadFile(e.path());
        SCOPED_TRACE(e.path().filename().string());
        TmsMessage m;
        ASSERT_NO_THROW(m.LoadFromString(data));
        // Decoding never yields more than a small multiple of the input.
        size_t total = 0;
        for (const auto& l : m.Body)
            total += l.size();
        for (const auto& a : m.Attachments)
            total += a.Content.size();
        EXPECT_LE(total, 4 * data.size() + 256);
        // What was decoded can be stored and read again.
        std::string stored;
        try {
            stored = m.SaveToString();
        } catch (const EMessageError&) {
            continue; // a paragraph too large for quoted-printable
        }
        TmsMessage again;
        ASSERT_NO_THROW(again.LoadFromString(stored));
        TmsHeaders h;
        size_t pos = 0;
        while (pos < data.size() && h.Count() < 10000) {
            size_t nl = data.find('\n', pos);
            h.Add(data.substr(pos, nl == std::string::npos ? nl : nl - pos));
            pos = nl == std::string::npos ? data.size() : nl + 1;
        }
        for (const char* f : {"From", "Subject", "Content-Type", "X-UIDL", "To"}) {
            EXPECT_NO_THROW(h.GetFieldValue(f));
            h.RemoveField(f);
            EXPECT_FALSE(h.HasField(f));
        }
        ++replayed;
    }
    EXPECT_GE(replayed, 3);
}

} // namespace
