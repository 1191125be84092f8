// The address book on its record file, the old list import and the
// countries list.
#include "shell/addressbook.h"

#include "platform/binary.h"
#include "platform/codepage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace quorel {

namespace {
struct Field {
    size_t offset, capacity;
};
constexpr Field kName{0, 80}, kEmail{81, 80}, kNotes{162, 255}, kPhoto{418, 80}, kMailing{499, 40},
    kState{540, 20}, kZip{561, 10}, kCountry{572, 20}, kCity{593, 30};
constexpr size_t kUnusedOffset = 624;
constexpr size_t kDeletedOffset = 754;

std::string TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return std::string(s);
}
std::string Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    return TrimRight(s);
}

// programFolder/name for a photo field; the bare name (which the dialog
// resolves against the program folder) when the full path would not fit
// the 80 characters of the field or the code page, so that a long or
// non-Western folder name never leaves a cut, broken path behind.
std::string PhotoPath(const std::filesystem::path& programFolder, const char* name) {
    const std::string full = (programFolder / name).string();
    const std::string cp = Utf8ToCp1252(full);
    if (cp.size() > kPhoto.capacity || Cp1252ToUtf8(cp) != full) return name;
    return full;
}
} // namespace

TAddressRecord TAddressRecord::FromBytes(const uint8_t* p) {
    TAddressRecord r;
    auto get = [p](Field f) { return GetShortString(p + f.offset, f.capacity); };
    r.Name = get(kName);
    r.Email = get(kEmail);
    r.Notes = get(kNotes);
    r.Photo = get(kPhoto);
    r.MailingAddress = get(kMailing);
    r.State = get(kState);
    r.Zip = get(kZip);
    r.Country = get(kCountry);
    r.City = get(kCity);
    std::memcpy(r.Unused.data(), p + kUnusedOffset, r.Unused.size());
    r.Deleted = p[kDeletedOffset] == 1;
    return r;
}

void TAddressRecord::ToBytes(uint8_t* p) const {
    auto put = [p](Field f, const std::string& s) { PutShortString(p + f.offset, f.capacity, s); };
    put(kName, Name);
    put(kEmail, Email);
    put(kNotes, Notes);
    put(kPhoto, Photo);
    put(kMailing, MailingAddress);
    put(kState, State);
    put(kZip, Zip);
    put(kCountry, Country);
    put(kCity, City);
    std::memcpy(p + kUnusedOffset, Unused.data(), Unused.size());
    p[kDeletedOffset] = Deleted ? 1 : 0;
}

const std::array<const char*, 152> kCountries = {
    "AFG\\ Afghanistan",
    "AIR\\ Aboard aircraft",
    "ALB\\ Albania",
    "ALG\\ Algeria",
    "AND\\ Andorra",
    "ANG\\ Angola",
    "ANT\\ Antigua",
    "ARG\\ Argentina",
    "ARM\\ Armenia",
    "ATA\\ Antarctica",
    "AUS\\ Australia",
    "AZB\\ Azerbaijan",
    "BAN\\ Bangladesh",
    "BAR\\ Bahrain",
    "BEL\\ Belgium",
    "BER\\ Bermuda",
    "BHM\\ Bahamas",
    "BIH\\ Bosnia and Herzegovina",
    "BLA\\ Belarus",
    "BLG\\ Bulgaria",
    "BLZ\\ Belize",
    "BOL\\ Bolivia",
    "BRB\\ Barbados",
    "BRS\\ Brazil",
    "BRU\\ Brunei",
    "BSW\\ Botswana",
    "CAN\\ Canada",
    "CHI\\ Chile",
    "COL\\ Columbia",
    "CRA\\ Costa Rica",
    "CRO\\ Croatia",
    "CSR\\ Czechoslovakia",
    "CUB\\ Cuba",
    "CYP\\ Cyprus",
    "DEN\\ Denmark",
    "DOM\\ Dominican Republic",
    "ECU\\ Ecuador",
    "EGY\\ Egypt",
    "ENG\\ England",
    "ESP\\ Spain",
    "EST\\ Estonia",
    "FAI\\ Faroe Islands",
    "FIJ\\ Fiji",
    "FIN\\ Finland",
    "FRA\\ France",
    "GAM\\ Gambia",
    "GCI\\ Guernsey-Jersey",
    "GEO\\ Georgia",
    "GER\\ Germany",
    "GHA\\ Ghana",
    "GRC\\ Greece",
    "GUA\\ Guatemala",
    "GUY\\ Guyana",
    "HAI\\ Haiti",
    "HKG\\ Hong Kong",
    "HON\\ Honduras",
    "HUN\\ Hungary",
    "IND\\ India",
    "IRL\\ Ireland",
    "IRN\\ Iran",
    "IRQ\\ Iraq",
    "ISD\\ Iceland",
    "ISR\\ Israel",
    "ITA\\ Italy",
    "IVO\\ Ivory Coast",
    "JAM\\ Jamaica",
    "JAP\\ Japan",
    "JRD\\ Jordan",
    "JUG\\ Yugoslavia",
    "KAZ\\ Kazakhstan",
    "KEN\\ Kenya",
    "KIR\\ Kyrgyzstan",
    "KUW\\ Kuwait",
    "LAT\\ Latvia",
    "LEB\\ Lebanon",
    "LIB\\ Libya",
    "LIC\\ Liechtenstein",
    "LTU\\ Lithuania",
    "LUX\\ Luxembourg",
    "MAL\\ Malaysia",
    "MAU\\ Mauritania",
    "MEX\\ Mexico",
    "MLI\\ Mali",
    "MLT\\ Malta",
    "MNC\\ Monaco",
    "MOL\\ Moldova",
    "MON\\ Mongolia",
    "MOZ\\ Mozambique",
    "MRC\\ Morocco",
    "MRT\\ Mauritius",
    "MYN\\ Myanmar",
    "NCG\\ Nicaragua",
    "NET\\ The Internet",
    "NIG\\ Nigeria",
    "NLA\\ Netherlands Antilles",
    "NLD\\ Netherlands",
    "NOR\\ Norway",
    "NZD\\ New Zealand",
    "OST\\ Austria",
    "PAK\\ Pakistan",
    "PAL\\ Palestine",
    "PAN\\ Panama",
    "PAR\\ Paraguay",
    "PER\\ Peru",
    "PHI\\ Philippines",
    "PNG\\ Papua New Guinea",
    "POL\\ Poland",
    "POR\\ Portugal",
    "PRC\\ People's Republic of China",
    "PRO\\ Puerto Rico",
    "QTR\\ Qatar",
    "RIN\\ Indonesia",
    "ROM\\ Romania",
    "RUS\\ Russia",
    "SAF\\ South Africa",
    "SAL\\ El Salvador",
    "SCO\\ Scotland",
    "SEA\\ At Sea",
    "SEN\\ Senegal",
    "SEY\\ Seychelles",
    "SIP\\ Singapore",
    "SLV\\ Slovenia",
    "SMA\\ San Marino",
    "SPC\\ Aboard spacecraft",
    "SRI\\ Sri Lanka",
    "SUD\\ Sudan",
    "SUR\\ Surinam",
    "SVE\\ Sweden",
    "SWZ\\ Switzerland",
    "SYR\\ Syria",
    "TAI\\ Thailand",
    "TMT\\ Turkmenistan",
    "TRK\\ Turkey",
    "TTO\\ Trinidad and Tobago",
    "TUN\\ Tunisia",
    "UAE\\ United Arab Emirates",
    "UGA\\ Uganda",
    "UKR\\ Ukraine",
    "UNK\\ Unknown",
    "URU\\ Uruguay",
    "USA\\ United States of America",
    "UZB\\ Uzbekistan",
    "VEN\\ Venezuela",
    "VGB\\ British Virgin Islands",
    "VIE\\ Vietnam",
    "VUS\\ U.S. Virgin Islands",
    "WLS\\ Wales",
    "YEM\\ Yemen",
    "YUG\\ Yugoslavia",
    "ZAM\\ Zambia",
    "ZIM\\ Zimbabwe",
    "ZRE\\ Zaire",
};

std::string CountryCode(std::string_view entry) {
    return std::string(entry.substr(0, 3));
}

std::vector<TOldAddress> ParseOldAddressList(std::string_view cp1252Text) {
    std::vector<TOldAddress> out;
    const std::string text = Cp1252ToUtf8(cp1252Text);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        size_t sep = line.find(';');
        if (sep == std::string_view::npos) sep = line.find(',');
        if (sep == std::string_view::npos) continue;
        out.push_back({TrimRight(line.substr(0, sep)), TrimRight(line.substr(sep + 1))});
    }
    return out;
}

TAddressBook::TAddressBook() {
    file_.Init(kAddressRecordSize);
}

namespace {
// Record files keep the name they were opened under; an absolute one stays
// right when the program changes its current directory.
std::filesystem::path Absolute(const std::filesystem::path& p) {
    std::error_code ec;
    auto a = std::filesystem::absolute(p, ec);
    return ec ? p : a;
}
} // namespace

TAddressBook::OpenResult TAddressBook::OpenOrCreate(const std::filesystem::path& given) {
    const auto path = Absolute(given);
    openError_.clear();
    errno = 0;
    if (file_.Open(path)) return OpenResult::Opened;
    const int openErrno = errno;
    auto failed = [this](int err, OpenResult result) {
        openError_ = result == OpenResult::Locked ? "in use by another program"
                     : err != 0                   ? std::strerror(err)
                                                  : "cannot be opened or created";
        return result;
    };
    if (file_.LockedByOther()) return failed(0, OpenResult::Locked);
    std::error_code ec;
    // A book that exists but cannot be opened is never created over.
    if (std::filesystem::exists(path, ec)) return failed(openErrno, OpenResult::Failed);
    errno = 0;
    if (file_.Create(path)) return OpenResult::Created;
    const int createErrno = errno;
    return file_.LockedByOther() ? failed(0, OpenResult::Locked)
                                 : failed(createErrno, OpenResult::Failed);
}

bool TAddressBook::Open(const std::filesystem::path& path) {
    return file_.Open(Absolute(path));
}
bool TAddressBook::OpenReadOnly(const std::filesystem::path& path) {
    return file_.OpenReadOnly(Absolute(path));
}
void TAddressBook::Close() {
    file_.Close();
}

TAddressRecord TAddressBook::Get(long n) {
    file_.Clear();
    file_.Go(n);
    return TAddressRecord::FromBytes(file_.Buffer());
}

std::vector<TAddressRow> TAddressBook::Rows() {
    std::vector<TAddressRow> rows;
    const long count = file_.Count();
    for (long n = 1; n <= count; ++n) {
        TAddressRecord r = Get(n);
        rows.push_back({n, r.Name + "\t" + r.Email + "\t" + r.Notes});
    }
    return rows;
}

std::string TAddressBook::StatusText(std::string_view title, std::string_view registers) const {
    return std::string(title) + " " + std::to_string(file_.Count()) + " " + std::string(registers);
}

long TAddressBook::Add(const TAddressRecord& r) {
    file_.Clear();
    r.ToBytes(file_.Buffer());
    if (!file_.Append()) return 0;
    file_.Flush();
    return file_.Current();
}

bool TAddressBook::Update(long n, const TAddressRecord& r) {
    if (n < 1 || n > file_.Count()) return false;
    file_.Go(n);
    r.ToBytes(file_.Buffer());
    const bool ok = file_.Write();
    file_.Flush();
    return ok;
}

bool TAddressBook::Delete(long n) {
    if (n < 1 || n > file_.Count()) return false;
    file_.Go(n);
    file_.Buffer()[kDeletedOffset] = 1;
    return file_.Write() && file_.Pack();
}

long TAddressBook::FindByEmail(std::string_view email, TAddressRecord* out) {
    const std::string wanted = Trim(email);
    if (wanted.empty()) return 0;
    const long count = file_.Count();
    for (long n = 1; n <= count; ++n) {
        TAddressRecord r = Get(n);
        if (!r.Deleted && EqualNoCase(Trim(r.Email), wanted)) {
            if (out) *out = r;
            return n;
        }
    }
    return 0;
}

TAddressRecord TAddressBook::SampleEntry(const std::filesystem::path& programFolder) {
    TAddressRecord r;
    r.Name = "Quorel Sample Opponent";
    r.Email = "opponent@example.org";
    r.Notes = "A sample entry: edit it or delete it, and add your own opponents.";
    r.Photo = PhotoPath(programFolder, "vignet.bmp");
    r.Country = "NET";
    return r;
}

int TAddressBook::ImportOldList(const std::vector<TOldAddress>& entries,
                                const std::filesystem::path& programFolder) {
    int added = 0;
    for (const TOldAddress& e : entries) {
        TAddressRecord r;
        r.Name = e.Name;
        r.Email = e.Email;
        r.Notes = "Imported";
        r.Photo = PhotoPath(programFolder, "unknown.bmp");
        if (Add(r)) ++added;
    }
    return added;
}

} // namespace quorel
