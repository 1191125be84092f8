#pragma once
// The POP3 clients: TmsCustomPOP (log-in with USER/PASS, STAT, optional
// STLS or TLS) and TmsRemotePOP, which lists the server's messages with
// their sizes and header lines and retrieves or deletes the marked ones.
#include "mail/smtp.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorel::mail {

class TmsCustomPOP : public TmsMailBase {
  public:
    TmsCustomPOP(); // DefaultPort 110, service "pop3"

    std::string UserName; // required (57103)
    std::string Password; // required (57104); logged as "PASS ****"
    // OAuth 2.0 sign-in (AUTH XOAUTH2 / OAUTHBEARER) instead of USER/PASS:
    // the token from OAuth.TokenCommand, else Password is the token.
    TOAuthSignIn OAuth;
    // From STAT at the end of the log-in.
    long MessageCount = 0;
    long TotalSize = 0;

    // Set at log-in when the server's CAPA list names PIPELINING (RFC
    // 2449): commands are then sent in groups and their replies read in
    // order; otherwise one command waits for the reply of the one before.
    bool Pipelining = false;

    // Num is the 0-based message index.
    std::function<void(int num)> OnRetrieving, OnRetrieved, OnDeleting;

    // The status of a reply: '+' success, '-' failure, anything else neither.
    static bool IsPositive(std::string_view line) { return !line.empty() && line[0] == '+'; }

    // UIDL (RFC 1939): the unique id of every message, index = number - 1
    // ("" for a number the server left out). Over the open connection.
    std::vector<std::string> Uidl(); // mail/oauth_clients.cpp

  protected:
    void CheckOpenProperties() override;
    void Login() override;
    void Logout() override;
    void Stat();
    void AuthenticateOAuth(const std::string& token); // mail/oauth_clients.cpp
    // CAPA: a "+" reply lists the capabilities up to a "." line; "-" (a
    // server without CAPA) leaves Pipelining off.
    void Capabilities();
    // One command and the reading of its reply.
    struct TPending {
        std::string Line;
        std::string LogAs;
        std::function<void()> ReadReply;
    };
    // Sends the commands and reads their replies in order: all of them in
    // one write when the server pipelines, else one after the other.
    void Run(const std::vector<TPending>& commands);
    // Counts log-ins: message numbers are valid within one session.
    int session_ = 0;
    // Sends a command and requires a "+" reply.
    void Command(const std::string& line, std::string_view logAs = {});
};

// One message on the server.
struct TmsRemoteInfoItem {
    uint32_t Size = 0;
    std::vector<std::string> Header; // header lines up to the first empty line
    bool Retrieve = false;
    bool Delete = false;
};

class TmsRemotePOP : public TmsCustomPOP {
  public:
    // Folder for messages saved without an OnUserMessageSave handler; a
    // non-empty value gets a trailing "/" when it has none.
    void SetMessageDirectory(const std::string& dir);
    const std::string& MessageDirectory() const { return messageDirectory_; }

    std::vector<TmsRemoteInfoItem> RemoteInfo;
    // When false (the default) the listing and the transfer end with a
    // log-out; when true the session stays open for the next of them (one
    // session for a listing, a transfer and the listing after it).
    bool KeepConnected = false;

    std::function<void()> OnUpdatingInfo, OnInfoUpdated, OnTransferringData, OnDataTransfered;
    std::function<void(int num)> OnNextInfoUpdated;
    // The raw message (dot-stuffed, ending with the "." line); it lives only
    // for the call. An exception thrown here ends the transfer before the
    // message is deleted on the server.
    std::function<void(int num, const std::string& contents)> OnUserMessageSave;

    // Connects and fills RemoteInfo.
    void GetRemoteInfo();
    // Connects, retrieves and deletes the marked messages, disconnects.
    void TransferMarked();

    // Messages per group of pipelined commands.
    static constexpr size_t kPipelineDepth = 32;

    // The server's number of RemoteInfo item i in the open session (or, with
    // none open, in the next one).
    int NumberOf(size_t i) const;

  private:
    // Reads a LIST reply ("+" required): the size after the number.
    uint32_t ReadListReply();
    // Reads a TOP reply and its data into item's header lines.
    void ReadTopReply(TmsRemoteInfoItem& item);
    // Reads a RETR reply and the message, and hands it to the owner.
    void ReadRetrReply(int i, uint32_t size);
    std::string messageDirectory_;
    // Server numbers of the RemoteInfo items, valid in session listedIn_.
    std::vector<int> numbers_;
    int listedIn_ = -1;
    // Messages deleted in the open session (by server number).
    std::vector<bool> deleted_;
    int deletedIn_ = -1;
    // Clears deleted_ when a new session has begun.
    void SessionDeletions();
};

} // namespace quorel::mail
