// The JSON of `qrltool mail decode`: exact text for a small message, and
// valid JSON (checked by Python's json module) for raw 8-bit headers.
#include "mail/message_json.h"
#include "mail_test_util.h"

#include <gtest/gtest.h>

using namespace quorel::mail;
using mailtest::Crlf;

namespace {

TEST(MessageJson, ExactFields) {
    TmsMessage m;
    m.LoadFromString(Crlf("From: \"J. Smith\" <js@x.org>\n"
                          "To: Ann <ann@x.org>, bob@x.org\n"
                          "Cc: Dora <dora@x.org>\n"
                          "Subject: Caf\xe9 \"quoted\"\n"
                          "X-Priority: 5\n"
                          "Return-Receipt-To: js@x.org\n"
                          "MIME-Version: 1.0\n"
                          "Content-Type: multipart/mixed; boundary=b\n"
                          "\n"
                          "--b\n"
                          "Content-Type: text/plain; charset=iso-8859-1\n"
                          "Content-Transfer-Encoding: quoted-printable\n"
                          "\n"
                          "tab\t=E9\n"
                          "--b\n"
                          "Content-Type: application/octet-stream; name=\"g.qrl\"\n"
                          "Content-Transfer-Encoding: base64\n"
                          "\n"
                          "Q2F0\n"
                          "--b--\n"));
    const std::string expected =
        "{\"Sender\":{\"Name\":\"J. Smith\",\"Address\":\"js@x.org\"},"
        "\"Recipients\":[{\"Name\":\"Ann\",\"Address\":\"ann@x.org\"},"
        "{\"Name\":\"\",\"Address\":\"bob@x.org\"}],"
        "\"CC\":[{\"Name\":\"Dora\",\"Address\":\"dora@x.org\"}],"
        "\"Subject\":\"Café \\\"quoted\\\"\",\"Priority\":\"low\",\"ReturnReceipt\":true,"
        "\"Encoding\":\"MIME\",\"CharSet\":\"iso-8859-1\",\"ContentType\":\"multipart/mixed\","
        "\"Headers\":[\"From: \\\"J. Smith\\\" <js@x.org>\","
        "\"To: Ann <ann@x.org>, bob@x.org\",\"Cc: Dora <dora@x.org>\","
        "\"Subject: Café \\\"quoted\\\"\",\"X-Priority: 5\",\"Return-Receipt-To: js@x.org\","
        "\"MIME-Version: 1.0\",\"Content-Type: multipart/mixed; boundary=b\"],"
        "\"Body\":[\"tab\\té\"],"
        "\"Attachments\":[{\"FileName\":\"g.qrl\",\"ContentType\":\"application/octet-stream\","
        "\"Coding\":1,\"Size\":3,\"SHA256\":"
        "\"48735c4fae42d1501164976afec76730b9e5fe467f680bdd8daff4bb77674045\"}]}";
    EXPECT_EQ(MessageToJson(m), expected);
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(MessageJson, AlwaysValidJson) {
    TmsMessage m;
    m.LoadFromString(
        std::string("From: a\x01\xff@x\r\nSubject: \x80\x81\x7f\r\n\r\nb\xfe\r\n", 33));
    mailtest::TempDir dir;
    mailtest::WriteFile(dir.path() / "m.json", MessageToJson(m));
    int status = -1;
    std::string out = mailtest::Run("python3 -c \"import json,sys; d=json.load(open(sys.argv[1], "
                                    "encoding='utf-8')); print(d['Subject'])\" " +
                                        (dir.path() / "m.json").string(),
                                    &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "€\xc2\x81\x7f\n");
}

} // namespace
