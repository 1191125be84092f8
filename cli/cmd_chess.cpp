// qrltool commands of the chess core: game show, moves, game convert-old.
#include "chess/gamerecord.h"
#include "chess/moveentry.h"
#include "chess/notation.h"
#include "cli/command.h"

#include <charconv>
#include <cmath>
#include <iostream>
#include <sstream>

namespace quorel::cli {
namespace {

using namespace quorel::chess;

// A stored date as a JSON number (the shortest text that reads back the same
// double); null for a value JSON cannot carry.
std::string JsonDate(double d) {
    if (!std::isfinite(d)) return "null";
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, res.ptr);
}

std::string GameJson(const TGameRecord& rec) {
    std::ostringstream o;
    bool first = true;
    auto key = [&](const char* k) {
        o << (first ? "{\n" : ",\n") << "  " << JsonString(k) << ": ";
        first = false;
    };
    auto str = [&](const char* k, const std::string& v) {
        key(k);
        o << JsonString(v);
    };
    auto num = [&](const char* k, long v) {
        key(k);
        o << v;
    };
    str("Version", rec.Version);
    str("Event", rec.Event);
    str("Site", rec.Site);
    str("Date", rec.Date);
    str("Round", rec.Round);
    str("White", rec.White);
    str("Black", rec.Black);
    str("Result", rec.Result);
    str("WhiteAddress", rec.WhiteAddress);
    str("BlackAddress", rec.BlackAddress);
    str("WhiteElo", rec.WhiteElo);
    str("BlackElo", rec.BlackElo);
    str("ECO", rec.ECO);
    str("WhiteCountry", rec.WhiteCountry);
    str("BlackCountry", rec.BlackCountry);
    num("SetupPosition", rec.SetupPosition);
    str("SetupEPD", rec.SetupEPD);
    num("SetupWhiteFirst", rec.SetupWhiteFirst);
    num("MoveCount", rec.MoveCount);
    num("CurrentPly", rec.CurrentPly);
    num("NotationFormat", rec.NotationFormat);
    num("SendDates", rec.SendDates);
    num("SendDiagram", rec.SendDiagram);
    num("MoveListLanguage", rec.MoveListLanguage);
    num("BoardReversed", rec.BoardReversed);
    num("SendSignature", rec.SendSignature);
    num("SendGameFile", rec.SendGameFile);
    str("IfMove", rec.IfMove);
    str("Board", EPDFromBoard(rec.Board));
    const TThinkingTotals totals = ThinkingTotals(rec);
    num("WhiteTotal", totals.ShownWhite());
    num("BlackTotal", totals.ShownBlack());
    key("Moves");
    o << "[";
    for (int k = 1; k <= rec.MoveCount; ++k) {
        const TMoveRecord& m = rec.Move(k);
        o << (k == 1 ? "\n    " : ",\n    ") << "{\"From\": " << int(m.From)
          << ", \"To\": " << int(m.To) << ", \"Promotion\": " << int(m.Promotion)
          << ", \"Annotation\": " << int(m.Annotation) << ", \"Piece\": " << int(m.Piece)
          << ", \"Captured\": " << int(m.Captured)
          << ", \"Disambiguation\": " << int(m.Disambiguation)
          << ", \"EnPassant\": " << int(m.EnPassant) << ", \"Check\": " << int(m.Check)
          << ", \"Received\": " << JsonDate(m.Received) << ", \"Replied\": " << JsonDate(m.Replied)
          << ", \"Penalization\": " << int(m.Penalization)
          << ", \"SAN\": " << JsonString(SanOfMove(m, kEnglish))
          << ", \"ICCF\": " << JsonString(IccfOfMove(m))
          << ", \"Days\": " << ShownMoveThinkingTime(rec, k) << "}";
    }
    o << (rec.MoveCount ? "\n  ]" : "]") << "\n}\n";
    return o.str();
}

const QrlCommand gameShow{"game show", "FILE", "print a game file as one JSON object",
                          [](const std::vector<std::string>& args) {
                              if (args.size() != 1) {
                                  std::cerr << "usage: qrltool game show FILE\n";
                                  return 2;
                              }
                              const fs::path file(args[0]);
                              TGameRecord rec;
                              const TLoadResult r =
                                  LoadFromFile(file.parent_path(), file.filename().string(), rec);
                              if (!r.Ok) {
                                  for (const TUserMessage& m : r.Messages)
                                      std::cerr << EnglishMessage(m) << "\n";
                                  return 1;
                              }
                              std::cout << GameJson(rec);
                              return 0;
                          }};

const QrlCommand moves{"moves", "EPD",
                       "list the moves the rules accept in a position, sorted (e2e4, e7e8q)",
                       [](const std::vector<std::string>& args) {
                           std::string epd;
                           for (const std::string& a : args)
                               epd += (epd.empty() ? "" : " ") + a;
                           std::vector<std::string> list;
                           if (epd.empty() || !LegalMovesOfEPD(epd, list)) {
                               std::cerr << "qrltool: not a valid EPD position: " << epd << "\n";
                               return 1;
                           }
                           for (const std::string& m : list)
                               std::cout << m << "\n";
                           return 0;
                       }};

const QrlCommand convertOld{"game convert-old", "FOLDER",
                            "convert the previous-format game files of a folder",
                            [](const std::vector<std::string>& args) {
                                if (args.size() != 1) {
                                    std::cerr << "usage: qrltool game convert-old FOLDER\n";
                                    return 2;
                                }
                                std::vector<TUserMessage> messages;
                                ImportOldFiles(args[0], messages);
                                for (const TUserMessage& m : messages)
                                    std::cout << EnglishMessage(m) << "\n";
                                std::error_code ec;
                                return fs::is_directory(args[0], ec) ? 0 : 1;
                            }};

} // namespace
} // namespace quorel::cli
