// Every form the encoder writes, read back by an independent decoder:
// Python's email package (tests/mail_model/py_email_check.py "read").
#include "mail/message.h"
#include "mail/mimetypes.h"
#include "mail_test_util.h"

#include <gtest/gtest.h>

using namespace quorel::mail;

namespace {

std::string Esc(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out;
}

// What Python must print for m. A difference that follows from the format
// itself: text bodies end with a line end.
std::string Expected(const std::string& file, const TmsMessage& m) {
    std::string out = "file: " + file + "\n";
    out += "from: " + m.Sender.Name + " <" + m.Sender.Address + ">\n";
    for (const auto& a : m.Recipients)
        out += "to: " + a.Name + " <" + a.Address + ">\n";
    for (const auto& a : m.CC)
        out += "cc: " + a.Name + " <" + a.Address + ">\n";
    out += "subject: " + Esc(m.Subject) + "\n";
    if (!m.Body.empty()) {
        std::string body;
        for (const auto& l : m.Body)
            body += l + "\n";
        out += "body: " + Esc(body) + "\n";
    }
    for (const auto& a : m.Attachments) {
        // Python hands quoted-printable text back with LF line ends (the
        // coding's hard line breaks stand for the platform's line end).
        std::string content = a.Content;
        if (a.Coding == kCodingQuotedPrintable) {
            std::string lf;
            for (size_t i = 0; i < content.size(); ++i)
                if (!(content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n'))
                    lf += content[i];
            content = lf;
        }
        out += "att: " + FileNamePart(a.FileName()) + "|" + a.ContentType + "|" +
               std::to_string(content.size()) + "|" + mailtest::Sha256Hex(content) + "\n";
    }
    return out;
}

TEST(PythonReadsTheEncoder, SenderRecipientsSubjectBodyAndAttachments) {
    SetMimeTypesFile("");
    mailtest::TempDir dir;
    std::string binary;
    for (int i = 0; i < 5000; ++i)
        binary += char((i * 37 + i / 256) & 0xFF);

    std::vector<std::pair<std::string, TmsMessage>> cases;
    auto base = [](const std::string& subject) {
        TmsMessage m;
        m.Sender = {"J. Smith", "js@example.com"};
        m.Recipients.Add("Ann Lee", "ann@example.org");
        m.Recipients.Add("Doe, Bob", "bob@example.org");
        m.Recipients.Add("Carl", "carl@example.org");
        m.CC.Add("Dora", "dora@example.org");
        m.Subject = subject;
        return m;
    };
    {
        TmsMessage m = base("Move 12. Nf3");
        m.Body = {"Hello", ".", "..", ".x", "", "Bye"};
        cases.emplace_back("plain.eml", m);
    }
    {
        TmsMessage m = base("Café");
        m.Sender.Name = "José Ñúñez";
        m.Body = {"Café crème", std::string(300, 'q') + " end"};
        cases.emplace_back("latin1.eml", m);
    }
    {
        TmsMessage m = base("Ход конём – partie");
        m.Recipients[0].Name = "Анна";
        m.Body = {"Ход конём", "1. e4 e5 2. Nf3"};
        cases.emplace_back("utf8.eml", m);
    }
    {
        TmsMessage m = base("Game with files");
        m.Body = {"See attachments."};
        m.Attachments.Add("game.qrl", binary);
        m.Attachments.Add("notes.txt", "first\r\nsecond = third\r\n");
        m.Attachments.Add("Ход.pgn", "[Event \"x\"]\r\n\r\n1. e4 *\r\n");
        cases.emplace_back("mixed.eml", m);
    }
    {
        TmsMessage m = base("Only a file");
        m.Attachments.Add("board.png", binary.substr(0, 1234));
        cases.emplace_back("single.eml", m);
    }
    std::string cmd = "python3 " + mailtest::PyScript() + " read";
    std::string expected;
    for (auto& [name, m] : cases) {
        m.SaveToFile(dir.path() / name);
        cmd += " " + (dir.path() / name).string();
        expected += Expected(name, m);
    }
    int status = -1;
    std::string got = mailtest::Run(cmd, &status);
    ASSERT_EQ(status, 0) << "python3 failed: " << got;
    // Python prints each file's block of lines, one block after another.
    std::string normalized;
    for (size_t i = 0; i < got.size(); ++i)
        normalized += got[i];
    EXPECT_EQ(normalized, expected);
}

} // namespace
