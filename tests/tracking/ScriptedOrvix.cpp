#include "ScriptedOrvix.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace {

constexpr auto kDeliveryTimeout = std::chrono::seconds(10);
constexpr auto kStreamInterval = std::chrono::microseconds(150);
constexpr auto kAnnounceInterval = std::chrono::milliseconds(1);

// A piece of work for a library thread; the waiting caller learns whether it ran.
template <typename Argument>
struct Job {
    Argument argument;
    std::promise<bool> ran;
};

std::mutex recordMutex;
std::vector<std::string> record;
std::atomic<bool> recording{true};

void Record(std::string call) {
    if (!recording.load()) {
        return;
    }
    std::lock_guard lock(recordMutex);
    record.push_back(std::move(call));
}

std::mutex scriptMutex;
std::condition_variable connectHeldChanged;
scripted::Script script;
int heldConnects = 0;
std::atomic<double> latency{0.004};

std::atomic<bool> streaming{false};
std::atomic<uint64_t> streamCounter{0};
std::mutex streamMutex;
scripted::StreamFiller streamFill;

std::mutex announceMutex;
std::optional<DiscoveredServer> autoAnnounce;

// A worker thread that runs queued jobs, or a repeating task while it has none, until stopped.
template <typename Argument>
class Worker {
public:
    using Runner = std::function<void(Argument&)>;
    using Idle = std::function<bool()>;  // runs one repeating step; false when there is none

    ~Worker() { Stop(); }

    void Start(Runner run, Idle idle) {
        run_ = std::move(run);
        idle_ = std::move(idle);
        {
            std::lock_guard lock(mutex_);
            running_ = true;
            stop_ = false;
        }
        thread_ = std::thread([this] { Loop(); });
    }

    // Joins the thread: afterwards nothing of this worker runs.
    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
        std::lock_guard lock(mutex_);
        running_ = false;
        for (auto& job : jobs_) {
            job->ran.set_value(false);
        }
        jobs_.clear();
    }

    std::future<bool> Post(Argument argument) {
        auto job = std::make_shared<Job<Argument>>();
        job->argument = std::move(argument);
        auto result = job->ran.get_future();
        {
            std::lock_guard lock(mutex_);
            if (!running_ || stop_) {
                job->ran.set_value(false);
                return result;
            }
            jobs_.push_back(job);
        }
        changed_.notify_all();
        return result;
    }

private:
    void Loop() {
        for (;;) {
            std::shared_ptr<Job<Argument>> job;
            {
                std::unique_lock lock(mutex_);
                changed_.wait_for(lock, std::chrono::milliseconds(1),
                                  [this] { return stop_ || !jobs_.empty(); });
                if (stop_) {
                    return;
                }
                if (!jobs_.empty()) {
                    job = jobs_.front();
                    jobs_.pop_front();
                }
            }
            if (job) {
                run_(job->argument);
                job->ran.set_value(true);
            } else {
                while (!StopRequested() && idle_()) {
                    std::lock_guard lock(mutex_);
                    if (!jobs_.empty()) {
                        break;
                    }
                }
            }
        }
    }

    bool StopRequested() {
        std::lock_guard lock(mutex_);
        return stop_;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Job<Argument>>> jobs_;
    bool running_ = false;
    bool stop_ = false;
    Runner run_;
    Idle idle_;
    std::thread thread_;
};

struct Discovery {
    OrvixDiscoveryCallback callback = nullptr;
    void* context = nullptr;
    Worker<DiscoveredServer> worker;
};

}  // namespace

class OrvixClient::Impl {
public:
    std::mutex mutex;  // guards callback, context and responses
    OrvixFrameCallback callback = nullptr;
    void* context = nullptr;
    std::map<std::string, std::vector<uint8_t>> responses;
    std::unique_ptr<sFrameOfMocapData> frame = std::make_unique<sFrameOfMocapData>();
    Worker<scripted::FrameFiller> frames;
    bool framesStarted = false;

    void StartFrames() {
        frames.Start(
            [this](scripted::FrameFiller& fill) {
                fill(*frame);
                Deliver();
            },
            [this] { return StreamOne(); });
        framesStarted = true;
    }

private:
    void Deliver() {
        OrvixFrameCallback registered = nullptr;
        void* registeredContext = nullptr;
        {
            std::lock_guard lock(mutex);
            registered = callback;
            registeredContext = context;
        }
        if (registered != nullptr) {
            registered(frame.get(), registeredContext);
        }
    }

    bool StreamOne() {
        if (!streaming.load()) {
            return false;
        }
        {
            std::lock_guard lock(mutex);
            if (callback == nullptr) {
                return false;
            }
        }
        {
            std::lock_guard lock(streamMutex);
            streamFill(*frame, streamCounter.fetch_add(1));
        }
        Deliver();
        std::this_thread::sleep_for(kStreamInterval);
        return true;
    }
};

namespace {

std::mutex registryMutex;
std::vector<OrvixClient::Impl*> clients;  // in order of creation
std::vector<Discovery*> discoveries;      // in order of creation

}  // namespace

OrvixClient::OrvixClient() : impl_(new Impl) {
    Record("OrvixClient()");
    std::lock_guard lock(registryMutex);
    clients.push_back(impl_);
}

OrvixClient::~OrvixClient() {
    Record("~OrvixClient()");
    {
        std::lock_guard lock(registryMutex);
        clients.erase(std::find(clients.begin(), clients.end(), impl_));
    }
    impl_->frames.Stop();
    delete impl_;
}

ErrorCode OrvixClient::Connect(const sOrvixClientConnectParams& params) {
    auto text = [](const char* value) { return value == nullptr ? std::string("null") : value; };
    Record("Connect(type=" + std::to_string(params.connectionType) +
           ", command=" + std::to_string(params.commandPort) +
           ", data=" + std::to_string(params.dataPort) + ", server=" + text(params.serverAddress) +
           ", local=" + text(params.localAddress) + ", group=" + text(params.multicastGroup) +
           ", option=" + std::to_string(params.optionFlag) +
           ", reserved=" + std::to_string(params.reserved) + ")");
    ErrorCode code = ErrorCode_OK;
    {
        std::unique_lock lock(scriptMutex);
        if (script.holdConnect) {
            ++heldConnects;
            connectHeldChanged.notify_all();
            connectHeldChanged.wait(lock, [] { return !script.holdConnect; });
        }
        code = script.connectCode;
    }
    if (code == ErrorCode_OK && !impl_->framesStarted) {
        impl_->StartFrames();
    }
    return code;
}

ErrorCode OrvixClient::Disconnect() {
    Record("Disconnect()");
    impl_->frames.Stop();
    impl_->framesStarted = false;
    return ErrorCode_OK;
}

ErrorCode OrvixClient::GetServerDescription(sServerDescription* description) {
    Record("GetServerDescription");
    std::lock_guard lock(scriptMutex);
    if (script.descriptionCode == ErrorCode_OK) {
        std::memset(description, 0, sizeof(*description));
        description->hostPresent = true;
    }
    return script.descriptionCode;
}

ErrorCode OrvixClient::SendMessageAndWait(const char* command, void** response, int* responseSize) {
    Record(std::string("SendMessageAndWait(") + command + ")");
    scripted::CommandResponse answer = scripted::Int32Response(0);
    {
        std::lock_guard lock(scriptMutex);
        const auto found = script.responses.find(command);
        if (found != script.responses.end()) {
            answer = found->second;
        }
    }
    if (answer.code != ErrorCode_OK) {
        return answer.code;
    }
    if (!answer.present) {
        *response = nullptr;
        *responseSize = 0;
        return ErrorCode_OK;
    }
    std::lock_guard lock(impl_->mutex);
    auto& kept = impl_->responses[command];
    kept = std::move(answer.bytes);
    kept.reserve(1);  // a pointer even for an empty response
    *response = kept.data();
    *responseSize = static_cast<int>(kept.size());
    return ErrorCode_OK;
}

ErrorCode OrvixClient::SetFrameReceivedCallback(OrvixFrameCallback callback, void* context) {
    Record("SetFrameReceivedCallback");
    ErrorCode code = ErrorCode_OK;
    {
        std::lock_guard lock(scriptMutex);
        code = script.callbackCode;
    }
    if (code == ErrorCode_OK) {
        std::lock_guard lock(impl_->mutex);
        impl_->callback = callback;
        impl_->context = context;
    }
    return code;
}

double OrvixClient::SecondsSinceHostTimestamp(uint64_t hostTimestamp) const {
    Record("SecondsSinceHostTimestamp(" + std::to_string(hostTimestamp) + ")");
    return latency.load();
}

ErrorCode Orvix_CreateAsyncServerDiscovery(OrvixDiscoveryHandle* handle,
                                           OrvixDiscoveryCallback callback, void* context) {
    Record("CreateAsyncServerDiscovery");
    auto* discovery = new Discovery;
    discovery->callback = callback;
    discovery->context = context;
    {
        std::lock_guard lock(registryMutex);
        discoveries.push_back(discovery);
    }
    discovery->worker.Start(
        [discovery](DiscoveredServer& server) { discovery->callback(&server, discovery->context); },
        [discovery] {
            std::optional<DiscoveredServer> server;
            {
                std::lock_guard lock(announceMutex);
                server = autoAnnounce;
            }
            if (!server) {
                return false;
            }
            discovery->callback(&*server, discovery->context);
            std::this_thread::sleep_for(kAnnounceInterval);
            return true;
        });
    *handle = discovery;
    return ErrorCode_OK;
}

ErrorCode Orvix_FreeAsyncServerDiscovery(OrvixDiscoveryHandle handle) {
    auto* discovery = static_cast<Discovery*>(handle);
    {
        std::lock_guard lock(registryMutex);
        const auto found = std::find(discoveries.begin(), discoveries.end(), discovery);
        if (found == discoveries.end()) {
            Record("FreeAsyncServerDiscovery(unknown handle)");
            return 1;
        }
        discoveries.erase(found);
    }
    Record("FreeAsyncServerDiscovery");
    discovery->worker.Stop();
    delete discovery;
    return ErrorCode_OK;
}

namespace scripted {

CommandResponse Int32Response(int32_t value) {
    CommandResponse response;
    response.bytes.resize(sizeof(value));
    std::memcpy(response.bytes.data(), &value, sizeof(value));
    return response;
}

void Reset(const Script& newScript) {
    {
        std::lock_guard lock(scriptMutex);
        script = newScript;
        heldConnects = 0;
    }
    latency.store(newScript.latencySeconds);
    StopStreaming();
    SetAutoAnnounce(std::nullopt);
    SetRecording(true);
    ClearCalls();
}

void SetLatency(double seconds) {
    latency.store(seconds);
}

void SetConnectCode(ErrorCode code) {
    std::lock_guard lock(scriptMutex);
    script.connectCode = code;
}

std::vector<std::string> Calls() {
    std::lock_guard lock(recordMutex);
    return record;
}

void ClearCalls() {
    std::lock_guard lock(recordMutex);
    record.clear();
}

void SetRecording(bool on) {
    recording.store(on);
}

bool WaitUntilConnectHeld(std::chrono::milliseconds timeout) {
    std::unique_lock lock(scriptMutex);
    return connectHeldChanged.wait_for(lock, timeout, [] { return heldConnects > 0; });
}

void ReleaseConnect() {
    {
        std::lock_guard lock(scriptMutex);
        script.holdConnect = false;
    }
    connectHeldChanged.notify_all();
}

bool DeliverFrame(const FrameFiller& fill) {
    std::future<bool> delivered;
    {
        std::lock_guard lock(registryMutex);
        const auto found = std::find_if(clients.rbegin(), clients.rend(), [](auto* client) {
            std::lock_guard clientLock(client->mutex);
            return client->callback != nullptr;
        });
        if (found == clients.rend()) {
            return false;
        }
        delivered = (*found)->frames.Post(fill);
    }
    return delivered.wait_for(kDeliveryTimeout) == std::future_status::ready && delivered.get();
}

void StartStreaming(StreamFiller fill) {
    {
        std::lock_guard lock(streamMutex);
        streamFill = std::move(fill);
    }
    streaming.store(true);
}

void StopStreaming() {
    streaming.store(false);
}

uint64_t StreamedFrames() {
    return streamCounter.load();
}

bool Announce(const DiscoveredServer& server) {
    std::future<bool> reported;
    {
        std::lock_guard lock(registryMutex);
        if (discoveries.empty()) {
            return false;
        }
        reported = discoveries.back()->worker.Post(server);
    }
    return reported.wait_for(kDeliveryTimeout) == std::future_status::ready && reported.get();
}

void SetAutoAnnounce(std::optional<DiscoveredServer> server) {
    std::lock_guard lock(announceMutex);
    autoAnnounce = server;
}

int LiveClients() {
    std::lock_guard lock(registryMutex);
    return static_cast<int>(clients.size());
}

int LiveDiscoveries() {
    std::lock_guard lock(registryMutex);
    return static_cast<int>(discoveries.size());
}

DiscoveredServer MakeServer(const std::string& serverAddress, const std::string& localAddress,
                            bool multicast) {
    DiscoveredServer server{};
    std::memcpy(server.serverAddress, serverAddress.data(),
                std::min(serverAddress.size(), sizeof(server.serverAddress)));
    std::memcpy(server.localAddress, localAddress.data(),
                std::min(localAddress.size(), sizeof(server.localAddress)));
    server.serverCommandPort = 1510;
    server.multicastFlag = multicast ? 1 : 0;
    return server;
}

}  // namespace scripted
