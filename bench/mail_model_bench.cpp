// Benchmark driver of the message model and the mailbox store (built and run
// by bench/mail_model.sh; not part of the test suite).
//   mail_model_bench coding FILE      base64 and quoted-printable of FILE
//   mail_model_bench mailbox DIR N    decode + re-encode N generated messages
//   mail_model_bench rebuild DIR N    RebuildIndex of N mail files
//   mail_model_bench list DIR         open the list of folder 1 (from rebuild)
#include "mail/coding.h"
#include "mail/message.h"
#include "mail/store.h"
#include "platform/files.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace quorel::mail;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// CPU time of this process (user + system): the machine is shared, so wall
// time would measure the neighbours.
double CpuNow() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

template <class F> double Best(int runs, F f) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        double t0 = CpuNow();
        f();
        best = std::min(best, CpuNow() - t0);
    }
    return best;
}

int Coding(const fs::path& file) {
    std::string data;
    if (!quorel::ReadWholeFile(file, data)) return 1;
    const double mb = double(data.size()) / 1e6;
    std::string enc, dec;
    double te = Best(3, [&] { enc = Base64Encode(data); });
    double td = Best(3, [&] { dec = Base64Decode(enc); });
    if (dec != data) {
        std::fprintf(stderr, "base64 round trip failed\n");
        return 1;
    }
    std::printf("base64-encode %.3f s %.0f MB/s\n", te, mb / te);
    std::printf("base64-decode %.3f s %.0f MB/s\n", td, mb / td);
    // Quoted-printable over text-like data: the same bytes folded into
    // printable lines (QP of random binary is not a realistic use).
    std::string text = data;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        text[i] = i % 72 == 71 ? '\n' : char(32 + c % 95);
    }
    std::string qp, back;
    double tq = Best(3, [&] { qp = QuotedPrintableEncode(text); });
    std::vector<std::string_view> lines;
    double tqd = Best(3, [&] {
        lines.clear();
        size_t s = 0;
        while (s < qp.size()) {
            size_t e = qp.find("\r\n", s);
            lines.emplace_back(qp.data() + s, e - s);
            s = e + 2;
        }
        back = QuotedPrintableDecode(lines, "\n");
    });
    if (back + "\n" != text && back != text) {
        std::fprintf(stderr, "quoted-printable round trip failed\n");
        return 1;
    }
    std::printf("qp-encode %.3f s %.0f MB/s\n", tq, mb / tq);
    std::printf("qp-decode %.3f s %.0f MB/s\n", tqd, mb / tqd);
    return 0;
}

// Set-up files are written plainly (no fsync per file: only the timed work
// matters here).
void WriteFile(const fs::path& p, const std::string& data) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(data.data(), std::streamsize(data.size()));
}

TmsMessage Sample(int i) {
    TmsMessage m;
    m.Sender = {"Player " + std::to_string(i % 50), "p" + std::to_string(i % 50) + "@example.org"};
    m.Recipients.Add("Opponent", "op@example.org");
    m.Subject = "Game " + std::to_string(i) + " move " + std::to_string(i % 60) + ". Nf3";
    for (int l = 0; l < 40; ++l)
        m.Body.push_back("1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 4. Ba4 Nf6 5. O-O Be7 line " +
                         std::to_string(l));
    if (i % 2 == 0) {
        std::string game(4000, '\0');
        for (size_t k = 0; k < game.size(); ++k)
            game[k] = char((k * 31 + size_t(i)) & 0xFF);
        m.Attachments.Add("game" + std::to_string(i) + ".qrl", game);
    }
    return m;
}

int Mailbox(const fs::path& dir, int n) {
    fs::create_directories(dir);
    std::vector<fs::path> files;
    for (int i = 0; i < n; ++i) {
        fs::path p = dir / (std::to_string(10000000 + i) + ".032");
        WriteFile(p, Sample(i).SaveToString());
        files.push_back(p);
    }
    std::vector<std::string> texts;
    for (const auto& p : files) {
        std::string t;
        quorel::ReadWholeFile(p, t);
        texts.push_back(std::move(t));
    }
    size_t bytes = 0;
    for (const auto& t : texts)
        bytes += t.size();
    size_t out = 0;
    double t = Best(3, [&] {
        out = 0;
        for (const auto& text : texts) {
            TmsMessage m;
            m.LoadFromString(text);
            out += m.SaveToString().size();
        }
    });
    std::printf("mailbox-recode %d messages %.1f MB %.3f s %.0f messages/s\n", n,
                double(bytes) / 1e6, t, n / t);
    return out > 0 ? 0 : 1;
}

int Rebuild(const fs::path& dir, int n) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (int i = 0; i < n; ++i) {
        TmsMessage m = Sample(i);
        m.Attachments.Clear();
        m.Body.resize(10);
        WriteFile(dir / (std::to_string(20000000 + i) + ".032"), m.SaveToString());
    }
    TMailStore s;
    if (!s.Open(dir, {"New Mail", "Queued Mail", "Sent Mail", "Trash", "??"})) return 1;
    auto t0 = Clock::now();
    double c0 = CpuNow();
    auto msgs = s.RebuildIndex();
    double c = CpuNow() - c0;
    double t = Seconds(t0, Clock::now());
    std::printf("rebuild %d files %.3f s cpu, %.3f s wall (%ld records)\n", n, c, t,
                s.IndexCount());
    // Move them all to New Mail for the list benchmark.
    for (long r = 1; r <= s.IndexCount(); ++r) {
        TMailIndexRecord rec;
        s.ReadRecord(r, rec);
        rec.Folder = kFolderNew;
        s.WriteRecord(r, rec);
    }
    return msgs.empty() && s.IndexCount() == n ? 0 : 1;
}

int List(const fs::path& dir) {
    double t = Best(5, [&] {
        TMailStore s;
        if (!s.OpenReadOnly(dir)) return;
        size_t chars = 0;
        for (const auto& [n, r] : s.FolderRecords(kFolderNew))
            chars += MessageListLine(r, "Me").size();
        auto folders = s.FolderEntries();
        if (chars == 0 || folders.empty()) std::fprintf(stderr, "empty list\n");
    });
    std::printf("open-folder-list %.4f s cpu\n", t);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    std::string what = argv[1];
    if (what == "coding") return Coding(argv[2]);
    if (what == "mailbox" && argc == 4) return Mailbox(argv[2], std::stoi(argv[3]));
    if (what == "rebuild" && argc == 4) return Rebuild(argv[2], std::stoi(argv[3]));
    if (what == "list") return List(argv[2]);
    return 2;
}
