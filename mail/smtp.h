#pragma once
// The common mail-client layer (TmsMailBase: Connect/Disconnect over the
// socket) and the SMTP client TmsSMTP, which sends one TmsMessage per Send.
//
// Dialogue: with Security None and no UserName it is exactly the original
// one (greeting, "HELO host" or bare "HELO", MAIL FROM, RCPT TO, DATA, QUIT).
// With TLS or AUTH on, EHLO is used; STARTTLS follows the first EHLO, and
// AUTH PLAIN or LOGIN the (second) EHLO. Secrets never reach the protocol log.
#include "mail/message.h"
#include "mail/socket.h"

#include <string>
#include <vector>

namespace quorel::mail {

class TmsMailBase : public TagSocket {
  public:
    // Open, then Login, unless already connected.
    void Connect();
    // Logout, then Close, when connected. A refused QUIT fails before Close.
    void Disconnect();

  protected:
    virtual void Login() = 0;
    virtual void Logout() = 0;
};

// The message text as it goes after DATA: every line that begins with "."
// gets a second dot, so the receiver's un-stuffing restores each line.
std::string StuffDotsForData(std::string_view text);

class TmsSMTP : public TmsMailBase {
  public:
    TmsSMTP(); // DefaultPort 25, service "smtp"

    // The message to send (not owned); required by Send.
    TmsMessage* MailMessage = nullptr;
    // When not empty, replaces the message's recipients in the envelope.
    std::vector<std::string> EnvelopeRecipients;
    // SMTP AUTH: used when UserName is not empty.
    std::string UserName, Password;
    // "" chooses from the server's offer (PLAIN before LOGIN); "PLAIN" or
    // "LOGIN" forces one.
    std::string AuthMechanism;

    std::function<void()> OnPrepare, OnSending, OnMailSent;
    std::function<void(const std::string& address, const std::string& reply, bool& proceed)>
        OnAddressRejected;

    // Sends MailMessage over the open connection.
    void Send();

    // The reply code of a line: its first three characters as a number, −1
    // when they are not digits.
    static int ReplyCode(std::string_view line);
    // The EHLO lines of the last EHLO (without the code), empty after HELO.
    const std::vector<std::string>& Extensions() const { return extensions_; }
    // Reads one reply (all lines of a multi-line one); returns its code.
    int ReadReply();

  protected:
    void Login() override;
    void Logout() override;

  private:
    void Ehlo();
    void Authenticate();
    bool Offers(std::string_view keyword) const;
    void Expect2xx(int code);
    std::vector<std::string> extensions_;
};

} // namespace quorel::mail
