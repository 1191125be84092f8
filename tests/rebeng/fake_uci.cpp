// A tiny UCI engine for the tests: answers the handshake, logs every command
// it receives and reports scripted analysis lines, so that what the library
// sends and hands out can be checked exactly.
//
// Environment:
//   FAKE_UCI_LOG    file that gets every received line
//   FAKE_UCI_MODE   "normal" (default), "notuci" (leaves at "uci"),
//                   "die-on-go" (leaves at "go"), "slow" (timed searches last
//                   their whole time or until "stop")
//   FAKE_UCI_PV_<n> principal variation for positions after n moves
//                   (default FAKE_UCI_PV, else "e2e4 e7e5")
//   FAKE_UCI_SCORE  score of the main search (default "cp 31")
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string Env(const std::string& name, const std::string& fallback) {
    const char* v = std::getenv(name.c_str());
    return v && *v ? v : fallback;
}

void Log(const std::string& line) {
    const char* path = std::getenv("FAKE_UCI_LOG");
    if (!path) return;
    if (std::FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

std::mutex outMutex;
void Say(const std::string& line) {
    std::lock_guard<std::mutex> lock(outMutex);
    std::cout << line << std::endl;
}

// The search in progress: a number that changes with each search, and
// whether its best move is still owed.
std::mutex searchMutex;
int searchId = 0;
bool searching = false;
std::string best;

// Ends search id with its best move unless it ended already.
void Finish(int id) {
    std::lock_guard<std::mutex> lock(searchMutex);
    if (id != searchId || !searching) return;
    searching = false;
    Say("bestmove " + best);
}

} // namespace

int main() {
    const std::string mode = Env("FAKE_UCI_MODE", "normal");
    int plies = 0;
    for (std::string line; std::getline(std::cin, line);) {
        Log(line);
        std::istringstream in(line);
        std::string cmd;
        in >> cmd;
        if (cmd == "uci") {
            if (mode == "notuci") {
                Say("Hello, I speak no UCI");
                return 0;
            }
            Say("id name FakeUci 1.0");
            Say("id author Quorel tests");
            Say("option name Hash type spin default 16 min 1 max 1024");
            Say("uciok");
        } else if (cmd == "isready") {
            Say("readyok");
        } else if (cmd == "position") {
            plies = 0;
            std::string w;
            bool moves = false;
            while (in >> w) {
                if (moves) ++plies;
                if (w == "moves") moves = true;
            }
        } else if (cmd == "go") {
            if (mode == "die-on-go") return 3;
            std::vector<std::string> words;
            for (std::string w; in >> w;)
                words.push_back(w);
            std::string searchmove;
            long movetime = -1;
            bool infinite = false;
            for (size_t i = 0; i < words.size(); ++i) {
                if (words[i] == "searchmoves" && i + 1 < words.size()) searchmove = words[i + 1];
                if (words[i] == "movetime" && i + 1 < words.size())
                    movetime = std::atol(words[i + 1].c_str());
                if (words[i] == "infinite") infinite = true;
            }
            std::string pv =
                Env("FAKE_UCI_PV_" + std::to_string(plies), Env("FAKE_UCI_PV", "e2e4 e7e5"));
            std::string score = Env("FAKE_UCI_SCORE", "cp 31");
            if (!searchmove.empty()) {
                pv = searchmove;
                score = "cp -40";
            }
            int id;
            {
                std::lock_guard<std::mutex> lock(searchMutex);
                id = ++searchId;
                best = pv.substr(0, pv.find(' '));
                searching = true;
            }
            Say("info string scripted search");
            Say("info depth 11 seldepth 13 multipv 1 score cp 5 lowerbound nodes 90 time 3000 pv " +
                best);
            Say("info depth 12 seldepth 15 multipv 1 score " + score +
                " nodes 100 nps 1000 hashfull 0 tbhits 0 time 3400 pv " + pv);
            Say("info depth 12 currmove " + best + " currmovenumber 1");
            if (infinite) continue; // until "stop"
            if (mode == "slow" && movetime > 0) {
                // Ends at "stop" or when the time is up.
                std::thread([id, movetime] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(movetime));
                    Finish(id);
                }).detach();
                continue;
            }
            Finish(id);
        } else if (cmd == "stop") {
            Finish(searchId);
        } else if (cmd == "quit") {
            return 0;
        }
    }
    return 0;
}
