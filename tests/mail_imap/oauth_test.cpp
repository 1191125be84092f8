// The token command (splitting, running, every way it can fail), the SASL
// XOAUTH2 / OAUTHBEARER initial responses against hand-built bytes, and the
// server's error challenge; the IMAP text helpers.
#include "mail/imap.h"
#include "mail/oauth.h"

#include <gtest/gtest.h>

using namespace quorel::mail;

TEST(TokenCommand, SplitsAsAShellWouldWithoutExpanding) {
    struct Case {
        const char* line;
        std::vector<std::string> words;
    } cases[] = {
        {"oauth2 --token", {"oauth2", "--token"}},
        {"  a \t b\n c  ", {"a", "b", "c"}},
        {"pass show 'mail/my account'", {"pass", "show", "mail/my account"}},
        {R"(get "a \"b\" \$x \q" c)", {"get", R"(a "b" $x \q)", "c"}},
        {R"(a\ b c\\d e\'f)", {"a b", R"(c\d)", "e'f"}},
        {"tok $HOME ~ *.txt `x`", {"tok", "$HOME", "~", "*.txt", "`x`"}},
        {"a''b \"\" ''", {"ab", "", ""}},
        {"x 'it''s' # a comment", {"x", "its"}},
        {"x a#b", {"x", "a#b"}},
        {"x line\\\ncontinued", {"x", "linecontinued"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitCommandLine(c.line), c.words) << c.line;
    for (const char* bad : {"", "   ", "# only a comment", "a 'open", "a \"open \\\""})
        EXPECT_THROW(SplitCommandLine(bad), EOAuthError) << bad;
}

TEST(TokenCommand, OutputIsTheTokenAndEveryFailureNamesTheCommand) {
    struct Case {
        const char* command;
        const char* token;    // expected token, or nullptr for a failure
        const char* fragment; // part of the failure text
    } cases[] = {
        {"printf '  ya29.tok-en_1/2+3=\\n\\n'", "ya29.tok-en_1/2+3=", nullptr},
        {"sh -c 'echo token; echo diagnostics >&2'", "token", nullptr},
        {"sh -c 'echo refresh failed: invalid_grant >&2; echo second >&2; exit 3'", nullptr,
         "\"sh\" failed with exit status 3: refresh failed: invalid_grant"},
        {"sh -c 'exit 1'", nullptr, "\"sh\" failed with exit status 1"},
        {"true", nullptr, "\"true\" printed no access token"},
        {"printf '\\n  \\n'", nullptr, "\"printf\" printed no access token"},
        {"printf 'two words'", nullptr, "\"printf\" printed more than one word"},
        {"printf 'a\\nb'", nullptr, "more than one word"},
        {"/nonexistent/quorel-token", nullptr,
         "\"/nonexistent/quorel-token\" could not be started: No such file or directory"},
        {"sh -c 'kill -9 $$'", nullptr, "\"sh\" was ended by signal 9"},
        {"sh -c 'head -c 70000 /dev/zero | tr \"\\0\" x'", nullptr,
         "printed more than 65536 bytes"},
        {"sh -c 'sleep 30'", nullptr, "\"sh\" did not finish within 1 seconds"},
        // A helper that leaves a child holding the pipe is not waited for.
        {"sh -c 'sleep 30 & echo tok'", nullptr, "did not finish within 1 seconds"},
    };
    for (const auto& c : cases) {
        TTokenCommandOptions o;
        o.TimeOutSeconds = 1;
        if (c.token) {
            EXPECT_EQ(RunTokenCommand(c.command, o), c.token) << c.command;
            continue;
        }
        auto start = std::chrono::steady_clock::now();
        try {
            RunTokenCommand(c.command, o);
            ADD_FAILURE() << c.command << " succeeded";
        } catch (const EOAuthError& e) {
            EXPECT_NE(std::string(e.what()).find(c.fragment), std::string::npos)
                << c.command << " -> " << e.what();
            EXPECT_EQ(std::string(e.what()).rfind("OAuth2 token command \"", 0), 0u) << e.what();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.command;
    }
    // Stop abandons a running command at once.
    TTokenCommandOptions o;
    int polls = 0;
    o.Cancelled = [&] { return ++polls > 3; };
    EXPECT_THROW(RunTokenCommand("sleep 20", o), ECanceledError);
}

TEST(Sasl, InitialResponsesAreTheHandBuiltBytes) {
    EXPECT_EQ(XOAuth2InitialResponse("player@example.org", "ya29.AbC"),
              "dXNlcj1wbGF5ZXJAZXhhbXBsZS5vcmcBYXV0aD1CZWFyZXIgeWEyOS5BYkMBAQ==");
    // "," and "=" of the user name are escaped as =2C and =3D.
    EXPECT_EQ(
        OAuthBearerInitialResponse("a,b=c", "T0k", "imap.example.org", 993),
        "bixhPWE9MkNiPTNEYywBaG9zdD1pbWFwLmV4YW1wbGUub3JnAXBvcnQ9OTkzAWF1dGg9QmVhcmVyIFQwawEB");
    EXPECT_EQ(OAuthBearerInitialResponse("u", "T", "", 0), "bixhPXUsAWF1dGg9QmVhcmVyIFQBAQ==");
    EXPECT_EQ(OAuthInitialResponse("oauthbearer", "u", "T", "", 0),
              OAuthBearerInitialResponse("u", "T", "", 0));
    EXPECT_EQ(OAuthInitialResponse("XOAUTH2", "u", "T", "h", 1), XOAuth2InitialResponse("u", "T"));
    EXPECT_EQ(OAuthErrorChallengeAnswer("OAUTHBEARER"), "AQ==");
    EXPECT_EQ(OAuthErrorChallengeAnswer("XOAUTH2"), "");

    TOAuthSignIn s;
    s.Mechanism = "OAUTH2";
    EXPECT_EQ(s.Choose({"PLAIN", "OAUTHBEARER", "XOAUTH2"}), "XOAUTH2");
    EXPECT_EQ(s.Choose({"PLAIN", "OAUTHBEARER"}), "OAUTHBEARER");
    EXPECT_EQ(s.Choose({}), "XOAUTH2");
    s.Mechanism = "oauthbearer";
    EXPECT_EQ(s.Choose({"XOAUTH2"}), "OAUTHBEARER");
}

TEST(Sasl, ErrorChallengeBecomesAReadableText) {
    EXPECT_EQ(
        OAuthChallengeText(" eyJzdGF0dXMiOiJpbnZhbGlkX3Rva2VuIiwic2NoZW1lcyI6ImJlYXJlciIsInNjb3"
                           "BlIjoiaHR0cHM6Ly9tYWlsLmdvb2dsZS5jb20vIn0="),
        "the server refused the access token (status invalid_token, scope "
        "https://mail.google.com/)");
    EXPECT_EQ(OAuthChallengeText("eyJzdGF0dXMiOiI0MDEiLCAic2NoZW1lcyI6IkJlYXJlciJ9"),
              "the server refused the access token (status 401)");
    EXPECT_EQ(OAuthChallengeText(""), "the server refused the access token");
    EXPECT_EQ(OAuthChallengeText("!!not base64"), "the server refused the access token");
    EXPECT_EQ(OAuthRefusalText("", "a NO denied"),
              "OAuth 2.0 sign-in refused: the server did not accept the access token - server "
              "reply: a NO denied");
}

TEST(ImapText, Pop3FormUidSetsAndQuotes) {
    EXPECT_EQ(ImapToPop3Form("A: b\r\n\r\n.hidden\r\n.\r\nend"),
              "A: b\r\n\r\n..hidden\r\n..\r\nend\r\n.\r\n");
    EXPECT_EQ(ImapToPop3Form("A: b\r\n\r\nx\r\n"), "A: b\r\n\r\nx\r\n.\r\n");
    EXPECT_EQ(ImapToPop3Form(""), ".\r\n");
    EXPECT_EQ(UidSet({1, 2, 3, 7, 9, 10}), "1:3,7,9:10");
    EXPECT_EQ(UidSet({5}), "5");
    EXPECT_EQ(UidSet({}), "");
    EXPECT_EQ(ImapQuote(R"(pa"ss\word)"), R"("pa\"ss\\word")");
}
