#pragma once
// The desktop's application menu as the installer's "Program Manager": a
// group is a menu folder, an item a launcher. The installer talks to it with
// the three macro commands it always used:
//   [creategroup("name")]   [Additem(path, "title")]   [ShowGroup("name")]
#include <string>
#include <vector>

namespace quorel::setup {

// The conversation the group step holds with the menu.
class TProgramManager {
  public:
    virtual ~TProgramManager() = default;
    // Opens the conversation; false when the desktop has no application menu.
    virtual bool Connect() = 0;
    // Names of the existing groups, sorted.
    virtual std::vector<std::string> Groups() = 0;
    // Executes one macro line; false when it is not understood or fails.
    virtual bool Execute(const std::string& macro) = 0;
    virtual void Disconnect() = 0;
};

// Folders of the freedesktop menu, taken from the XDG variables (or their
// defaults below home) when the object is made; tests may set them.
struct TMenuFolders {
    std::string DataHome;                // $XDG_DATA_HOME or ~/.local/share
    std::string ConfigHome;              // $XDG_CONFIG_HOME or ~/.config
    std::vector<std::string> ConfigDirs; // $XDG_CONFIG_DIRS or /etc/xdg
    static TMenuFolders FromEnvironment();
};

// Freedesktop menu entries in the user's folders:
//   <DataHome>/applications/setup-<group>-<title>.desktop   one launcher per item
//   <DataHome>/desktop-directories/setup-<group>.directory  the group's folder entry
//   <ConfigHome>/menus/applications-merged/setup-<group>.menu  the group's menu
// Connect succeeds when an applications menu ("*applications.menu" in a
// menus folder of ConfigHome or ConfigDirs) or the user's applications folder
// exists. Groups are the top-level menus of those menu files and of the
// merged menus. An item whose file is an executable program starts it in the
// install folder; any other file is opened with xdg-open.
class TDesktopMenu : public TProgramManager {
  public:
    explicit TDesktopMenu(TMenuFolders folders = TMenuFolders::FromEnvironment());
    bool Connect() override;
    std::vector<std::string> Groups() override;
    bool Execute(const std::string& macro) override;
    void Disconnect() override {}

    // Menu, folder entry and launcher files written so far.
    const std::vector<std::string>& Written() const { return written_; }

    // Desktop-file id part for a name: lower-case letters and digits, other
    // runs become "-".
    static std::string IdPart(const std::string& name);
    // Value of a desktop-entry string key: "\" "\n" "\t" "\r" escaped.
    static std::string EscapeValue(const std::string& s);
    // One Exec argument: quoted, with "\" '"' "`" "$" escaped, "%" doubled,
    // then escaped once more as a string value.
    static std::string ExecArgument(const std::string& s);

  private:
    bool CreateGroup(const std::string& name);
    bool AddItem(const std::string& path, const std::string& title);
    bool WriteMenu();

    TMenuFolders f_;
    std::string group_;              // current group (after creategroup)
    std::vector<std::string> items_; // launcher ids of the current group's menu
    bool ownDirectory_ = false;      // the group is not one of the desktop's own menus
    std::vector<std::string> written_;
};

// Names of the menus directly below the root menu of a menu file's text.
std::vector<std::string> TopLevelMenuNames(const std::string& xml);

} // namespace quorel::setup
