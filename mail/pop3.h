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
    // When false (the default) the listing ends with a log-out.
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

  private:
    // LIST i+1 and TOP i+1 1 into item.
    void FetchInfo(int i, TmsRemoteInfoItem& item);
    uint32_t ListSize(int i);
    void RetrieveMessage(int i);
    void DeleteMessage(int i);
    std::string messageDirectory_;
};

} // namespace quorel::mail
