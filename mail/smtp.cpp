#include "mail/smtp.h"

#include "mail/coding.h"
#include "platform/codepage.h"

namespace quorel::mail {

// ---- TmsMailBase -----------------------------------------------------------

void TmsMailBase::Connect() {
    if (Connected()) return;
    Open();
    Login();
}

void TmsMailBase::Disconnect() {
    if (!Connected()) return;
    Logout();
    Close();
}

// ---- TmsSMTP ---------------------------------------------------------------

TmsSMTP::TmsSMTP() {
    DefaultPort = 25;
    ServiceName = "smtp";
}

int TmsSMTP::ReplyCode(std::string_view line) {
    if (line.size() < 3) return -1;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        char c = line[size_t(i)];
        if (c < '0' || c > '9') return -1;
        code = code * 10 + (c - '0');
    }
    return code;
}

int TmsSMTP::ReadReply() {
    std::string line = ReceiveLine();
    int code = ReplyCode(line);
    if (line.size() >= 4 && line[3] == '-') {
        // A multi-line reply ends at the line with the same code and a blank
        // (or nothing) as its fourth character.
        for (;;) {
            line = ReceiveLine();
            if (ReplyCode(line) == code && (line.size() == 3 || line[3] == ' ')) break;
        }
    }
    return code;
}

void TmsSMTP::Expect2xx(int code) {
    if (code / 100 != 2) ServerFailure();
}

bool TmsSMTP::Offers(std::string_view keyword) const {
    for (const auto& e : extensions_) {
        std::string up = AsciiUpper(e);
        if (up == keyword || up.rfind(std::string(keyword) + " ", 0) == 0) return true;
    }
    return false;
}

void TmsSMTP::Ehlo() {
    extensions_.clear();
    SendLine("EHLO " + LocalHostName());
    std::string line = ReceiveLine();
    int code = ReplyCode(line);
    bool more = line.size() >= 4 && line[3] == '-';
    if (line.size() > 4) extensions_.push_back(line.substr(4));
    while (more) {
        line = ReceiveLine();
        if (line.size() > 4) extensions_.push_back(line.substr(4));
        more = !(ReplyCode(line) == code && (line.size() == 3 || line[3] == ' '));
    }
    // The first line names the server, not an extension.
    if (!extensions_.empty()) extensions_.erase(extensions_.begin());
    Expect2xx(code);
}

void TmsSMTP::Authenticate() {
    std::string mech = AsciiUpper(AuthMechanism);
    if (mech.empty()) {
        bool plain = false, login = false;
        for (const auto& e : extensions_) {
            std::string up = AsciiUpper(e);
            if (up.rfind("AUTH", 0) != 0) continue;
            plain = plain || up.find(" PLAIN") != std::string::npos ||
                    up.find("=PLAIN") != std::string::npos;
            login = login || up.find(" LOGIN") != std::string::npos ||
                    up.find("=LOGIN") != std::string::npos;
        }
        mech = (!plain && login) ? "LOGIN" : "PLAIN";
    }
    if (mech == "LOGIN") {
        SendLine("AUTH LOGIN");
        if (ReadReply() != 334) ServerFailure();
        SendLine(Base64EncodeFlat(UserName), "****");
        if (ReadReply() != 334) ServerFailure();
        SendLine(Base64EncodeFlat(Password), "****");
    } else {
        std::string token;
        token += '\0';
        token += UserName;
        token += '\0';
        token += Password;
        SendLine("AUTH PLAIN " + Base64EncodeFlat(token), "AUTH PLAIN ****");
    }
    Expect2xx(ReadReply());
}

void TmsSMTP::Login() {
    TcpConnect();
    Expect2xx(ReadReply());
    bool extended = Security != TMailSecurity::None || !UserName.empty();
    if (!extended) {
        extensions_.clear();
        SendLine("HELO " + LocalHostName());
        if (ReadReply() / 100 != 2) {
            SendLine("HELO");
            Expect2xx(ReadReply());
        }
        return;
    }
    Ehlo();
    if (Security == TMailSecurity::StartTls) {
        SendLine("STARTTLS");
        if (ReadReply() / 100 != 2) RefusedTls();
        StartTls();
        Ehlo();
    }
    if (!UserName.empty()) Authenticate();
}

void TmsSMTP::Logout() {
    if (Pump) Pump();
    SendLine("QUIT");
    Expect2xx(ReadReply());
}

std::string StuffDotsForData(std::string_view text) {
    // Every line that begins with a dot gets its dot doubled, so the
    // server's un-stuffing gives back exactly the line that was written.
    std::string out;
    out.reserve(text.size() + 16);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        size_t stop = end == std::string_view::npos ? text.size() : end + 1;
        std::string_view line = text.substr(start, stop - start);
        std::string_view content = line;
        while (!content.empty() && (content.back() == '\n' || content.back() == '\r'))
            content.remove_suffix(1);
        if (!content.empty() && content.front() == '.') out += '.';
        out.append(line);
        start = stop;
    }
    return out;
}

void TmsSMTP::Send() {
    if (!MailMessage) PropertyFailure(57102);
    RequireConnection();
    TmsMessage& msg = *MailMessage;
    msg.Check();
    if (OnPrepare) OnPrepare();
    std::string stream = msg.SaveToString();
    if (OnSending) OnSending();

    SendLine("MAIL FROM:<" + msg.Sender.Address + ">");
    Expect2xx(ReadReply());

    auto rcpt = [&](const std::string& address) {
        SendLine("RCPT TO:<" + address + ">");
        if (ReadReply() / 100 != 2) {
            bool proceed = false;
            std::string reply = LastReply();
            if (OnAddressRejected) OnAddressRejected(address, reply, proceed);
            if (!proceed) ServerFailure();
        }
    };
    if (!EnvelopeRecipients.empty()) {
        for (const auto& a : EnvelopeRecipients)
            rcpt(a);
    } else {
        for (const auto& a : msg.Recipients)
            rcpt(a.Address);
        for (const auto& a : msg.CC)
            rcpt(a.Address);
        for (const auto& a : msg.BCC)
            rcpt(a.Address);
    }

    SendLine("DATA");
    if (ReadReply() / 100 != 3) ServerFailure();
    SendStream(StuffDotsForData(stream), 2047);
    SendLine("");
    SendLine(".");
    Expect2xx(ReadReply());
    if (OnMailSent) OnMailSent();
}

} // namespace quorel::mail
