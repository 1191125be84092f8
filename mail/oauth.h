#pragma once
// OAuth 2.0 sign-in for the mail clients: the access token printed by the
// player's token command (`OAuth2 Token Command`, run without a shell), the
// SASL XOAUTH2 and OAUTHBEARER initial responses, and the server's error
// challenge turned into a readable text. Token refresh is the helper
// command's business; Quorel registers no client and opens no browser.
#include "mail/socket.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorel::mail {

// A token command that cannot run or yields no usable token, or a sign-in
// setting that cannot work; the text names the command.
class EOAuthError : public EMailNetError {
  public:
    using EMailNetError::EMailNetError;
};

// Splits a command line into its arguments as a POSIX shell would: blanks
// separate words; '...' keeps everything literally; "..." keeps everything
// but a backslash before $ ` " \ or a newline; an unquoted backslash keeps
// the next character (a backslash-newline vanishes); a word beginning with #
// starts a comment. Nothing is expanded: $HOME, ~ and * stay as written.
// Throws EOAuthError for an unterminated quote or an empty command.
std::vector<std::string> SplitCommandLine(std::string_view command);

struct TTokenCommandOptions {
    int TimeOutSeconds = 60;      // the command is killed after this
    size_t MaxOutput = 64 * 1024; // bytes of standard output accepted
    // Called about every 50 ms while the command runs (the window's event
    // processing); returning true abandons the command (Stop).
    std::function<bool()> Cancelled;
};

// Runs the token command (split by SplitCommandLine, searched on PATH,
// started with posix_spawn and no shell, standard input /dev/null) and
// returns its standard output without surrounding white space. Throws
// EOAuthError naming the program when it cannot start, ends with a
// non-zero status (with the first line of its standard error), is killed,
// prints nothing, prints more than MaxOutput bytes, prints a token with
// blanks or control characters inside, or runs past the time-out; and
// ECanceledError (57001) when Cancelled says so.
std::string RunTokenCommand(const std::string& command, const TTokenCommandOptions& options = {});

// "XOAUTH2" or "OAUTHBEARER" (any case) → that name; "" otherwise.
std::string OAuthMechanismName(std::string_view mechanism);

// base64 of "user=" user ^A "auth=Bearer " token ^A ^A.
std::string XOAuth2InitialResponse(std::string_view user, std::string_view token);
// base64 of the RFC 7628 GS2 header "n,a=" user "," followed by host, port
// and "auth=Bearer " token, each ended by ^A, and a final ^A. The user name
// has "," and "=" written as =2C and =3D; host and port are left out when
// empty or 0.
std::string OAuthBearerInitialResponse(std::string_view user, std::string_view token,
                                       std::string_view host, unsigned port);
// The initial response of mechanism ("XOAUTH2" or "OAUTHBEARER").
std::string OAuthInitialResponse(std::string_view mechanism, std::string_view user,
                                 std::string_view token, std::string_view host, unsigned port);
// What the client answers to an error challenge so that the server ends the
// exchange with its failure reply: "" for XOAUTH2, "AQ==" (^A) for
// OAUTHBEARER.
std::string OAuthErrorChallengeAnswer(std::string_view mechanism);

// The server's error challenge (base64 of a JSON object such as
// {"status":"invalid_token","schemes":"bearer","scope":"mail"}) as a text
// for the player: "the server refused the access token (status
// invalid_token, scope mail)". Text that is not such a challenge gives
// "the server refused the access token".
std::string OAuthChallengeText(std::string_view base64Challenge);

// The error of a refused OAuth 2.0 sign-in: "OAuth 2.0 sign-in refused: "
// + challengeText (OAuthChallengeText, may be empty) + " - server reply: " +
// the server's final reply line.
std::string OAuthRefusalText(const std::string& challengeText, const std::string& reply);

// The OAuth 2.0 sign-in of one mail client. Off (Mechanism empty) means the
// password sign-in of the original dialogue.
struct TOAuthSignIn {
    // "" off; "XOAUTH2" or "OAUTHBEARER" forces one; "OAUTH2" takes the one
    // the server offers (XOAUTH2 first, then OAUTHBEARER, else XOAUTH2).
    std::string Mechanism;
    // `OAuth2 Token Command`; empty: the client's Password is the token.
    std::string TokenCommand;
    int TokenTimeOut = 60; // seconds; a helper may wait for a browser sign-in

    bool On() const { return !Mechanism.empty(); }
    // The mechanism to use, given the server's offered SASL mechanisms
    // (upper case names).
    std::string Choose(const std::vector<std::string>& offered) const;
};

// The access token for a client about to sign in: the token command's
// output, or password when there is no command. A failure is reported like
// a socket failure of that client (its OnError, then the socket is closed)
// and thrown as EOAuthError, so nothing is sent with a missing token. The
// command runs with the client's Pump and is abandoned by its Cancel.
std::string ObtainOAuthToken(TagSocket& client, const TOAuthSignIn& signIn,
                             const std::string& password);

} // namespace quorel::mail
