// The 19 functions of REBENG32.so. Everything else in the library is hidden.
//
// Test builds of the library change what it reports through compile
// definitions: REBENG_VERSION, REBENG_VERDATE, and REBENG_OMIT_VERSION /
// REBENG_OMIT_GETHANDLE to leave one function out.
#include "rebeng/errors.h"
#include "rebeng/instance.h"
#include "rebeng/rebeng32.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#ifndef REBENG_VERSION
#define REBENG_VERSION 0x01020100
#endif
#ifndef REBENG_VERDATE
#define REBENG_VERDATE 0x07122026 // 7 December 2026, packed decimal digits
#endif

#define REBENG_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using quorel::rebeng::Instance;

constexpr int32_t kMaxInstances = 16;

// The instances by number. Destroyed when the library is unloaded or the
// program ends: every engine program is then ended.
struct Registry {
    std::mutex mutex;
    std::map<int32_t, std::shared_ptr<Instance>> instances;
    ~Registry() {
        std::map<int32_t, std::shared_ptr<Instance>> all;
        {
            std::lock_guard<std::mutex> lock(mutex);
            all.swap(instances);
        }
        all.clear();
        quorel::rebeng::EndParkedEngines();
    }
};
Registry& Reg() {
    static Registry registry;
    return registry;
}

std::shared_ptr<Instance> Find(int32_t handle) {
    std::lock_guard<std::mutex> lock(Reg().mutex);
    auto it = Reg().instances.find(handle);
    return it == Reg().instances.end() ? nullptr : it->second;
}

// Copies text into the caller's buffer: at most size - 1 characters and a zero.
int32_t CopyOut(const std::string& text, char* buf, int32_t size, int32_t* len) {
    if (!buf || size <= 0) return 0;
    size_t n = std::min(text.size(), size_t(size - 1));
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
    if (len) *len = int32_t(n);
    return 1;
}

std::string Text(const char* s) {
    return s ? std::string(s) : std::string();
}

} // namespace

#ifndef REBENG_OMIT_VERSION
REBENG_EXPORT int32_t RebelEngineVersion() {
    return REBENG_VERSION;
}
#endif

REBENG_EXPORT int32_t RebelEngineVerDate() {
    return int32_t(REBENG_VERDATE);
}

REBENG_EXPORT int32_t RebelEngineMaxInstances() {
    return kMaxInstances;
}

REBENG_EXPORT int32_t RebelEngineInstances() {
    std::lock_guard<std::mutex> lock(Reg().mutex);
    return int32_t(Reg().instances.size());
}

REBENG_EXPORT int32_t RebelEngineGetError(int32_t handle) {
    auto inst = Find(handle);
    return inst ? inst->Error() : quorel::rebeng::kNoInstance;
}

REBENG_EXPORT int32_t RebelEngineGetSysError(int32_t handle) {
    auto inst = Find(handle);
    return inst ? inst->SysError() : 0;
}

REBENG_EXPORT int32_t RebelEngineGetErrorText(int32_t err, char* buf, int32_t size, int32_t* len) {
    std::string text = quorel::rebeng::ErrorText(err);
    if (text.empty()) return 0;
    return CopyOut(text, buf, size, len);
}

REBENG_EXPORT int32_t RebelEngineAllocate(int32_t appli, const char* engName, const char* engPath,
                                          int32_t kind) {
    std::string name = Text(engName);
    if (name.empty()) return -1;
    std::lock_guard<std::mutex> lock(Reg().mutex);
    auto& all = Reg().instances;
    if (int32_t(all.size()) >= kMaxInstances) return -1;
    int32_t id = 0;
    while (all.count(id))
        ++id;
    all[id] = std::make_shared<Instance>(appli, name, Text(engPath), kind);
    return id;
}

REBENG_EXPORT int32_t RebelEngineFree(int32_t handle, int32_t terminate) {
    std::shared_ptr<Instance> inst;
    {
        std::lock_guard<std::mutex> lock(Reg().mutex);
        auto it = Reg().instances.find(handle);
        if (it == Reg().instances.end()) return 0;
        inst = it->second;
        Reg().instances.erase(it);
    }
    inst->Release(terminate != 0);
    return 1;
}

REBENG_EXPORT int32_t RebelEngineStartPGN(int32_t handle, const char* pgnFile, int32_t mode,
                                          int32_t hash) {
    auto inst = Find(handle);
    return inst && inst->StartPGN(Text(pgnFile), mode, hash) ? 1 : 0;
}

REBENG_EXPORT int32_t RebelEngineUpdatePGN(int32_t handle, const char* pgnFile) {
    auto inst = Find(handle);
    return inst && inst->UpdatePGN(Text(pgnFile)) ? 1 : 0;
}

REBENG_EXPORT int32_t RebelEngineGetAnalysisLine(int32_t handle, char* buf, int32_t size,
                                                 int32_t* len) {
    auto inst = Find(handle);
    std::string line;
    if (!inst || !inst->AnalysisLine(line)) return 0;
    return CopyOut(line, buf, size, len);
}

REBENG_EXPORT int32_t RebelEngineStartEPD(int32_t handle, const char* epd, int32_t secs,
                                          int32_t hash, int32_t evalMode) {
    auto inst = Find(handle);
    return inst && inst->StartEPD(Text(epd), secs, hash, evalMode) ? 1 : 0;
}

REBENG_EXPORT int32_t RebelEngineGetAnalysisEPD(int32_t handle, const char* outFile) {
    auto inst = Find(handle);
    return inst && inst->WriteEPDResult(Text(outFile)) ? 1 : 0;
}

REBENG_EXPORT int32_t RebelEngineStartAnalyseGame(int32_t handle, const char* pgnFile, int32_t secs,
                                                  int32_t hash) {
    auto inst = Find(handle);
    return inst && inst->StartGame(Text(pgnFile), secs, hash) ? 1 : 0;
}

REBENG_EXPORT int32_t RebelEngineGetAnalysisGame(int32_t handle, const char* outFile) {
    auto inst = Find(handle);
    return inst && inst->WriteGameReport(Text(outFile)) ? 1 : 0;
}

REBENG_EXPORT int32_t RebelEngineStop(int32_t handle) {
    auto inst = Find(handle);
    return inst && inst->Stop() ? 1 : 0;
}

REBENG_EXPORT int32_t RebelEngineIsRunning(int32_t handle) {
    auto inst = Find(handle);
    return inst && inst->IsRunning() ? 1 : 0;
}

#ifndef REBENG_OMIT_GETHANDLE
REBENG_EXPORT int32_t RebelEngineGetHandle(int32_t handle) {
    auto inst = Find(handle);
    return inst ? inst->EnginePid() : 0;
}
#endif
