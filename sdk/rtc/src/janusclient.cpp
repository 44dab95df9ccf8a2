#include "janusclient.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>

#include <curl/curl.h>

namespace vendor {
namespace rtc {
namespace {

struct Received
{
    std::string text;
    bool tooLong = false;
};

// Taking less than offered aborts the transfer: an answer that never ends
// stops at the bound instead of filling the memory.
size_t appendBody(char *data, size_t size, size_t count, void *target)
{
    auto *received = static_cast<Received *>(target);
    const size_t bytes = size * count;
    if (received->text.size() + bytes > JanusClient::kMaxReplyBytes) {
        received->tooLong = true;
        return 0;
    }
    received->text.append(data, bytes);
    return bytes;
}

// Called by curl about once a second and on every chunk: a non-zero result
// aborts the transfer, which ends a long poll soon after a leave.
int checkCancel(void *cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return cancel && static_cast<const std::atomic<bool> *>(cancel)->load() ? 1 : 0;
}

// VENDOR_RTC_JANUS_TRACE=1 prints every request and answer on standard error.
bool tracing()
{
    static const bool on = [] {
        const char *trace = std::getenv("VENDOR_RTC_JANUS_TRACE");
        return trace && std::string(trace) == "1";
    }();
    return on;
}

std::string transactionId()
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string id(12, 'a');
    for (char &c : id)
        c = digits[random() % (sizeof(digits) - 1)];
    return id;
}

} // namespace

namespace {

// The "error" member of an error answer, or null.
const nlohmann::json *errorOf(const nlohmann::json &body)
{
    if (!body.is_object() || body.value("janus", "") != "error")
        return nullptr;
    auto it = body.find("error");
    return it != body.end() && it->is_object() ? &*it : nullptr;
}

} // namespace

int JanusClient::Reply::errorCode() const
{
    const nlohmann::json *error = reached ? errorOf(body) : nullptr;
    if (!error)
        return 0;
    auto code = error->find("code");
    const auto value = code != error->end() ? number(*code, 1000000) : std::nullopt;
    return value && *value ? static_cast<int>(*value) : -1;
}

bool JanusClient::Reply::refused() const
{
    if (!reached)
        return status >= 400 && status < 500 && status != 408 && status != 429;
    const int code = errorCode();
    return code != 0 && code != kNoSession;
}

std::string JanusClient::Reply::describe() const
{
    if (!reached)
        return fault;
    const int code = errorCode();
    if (!code)
        return "no error";
    const std::string reason = errorReason();
    return "error " + std::to_string(code) + (reason.empty() ? "" : ": " + reason);
}

std::optional<uint64_t> JanusClient::number(const nlohmann::json &value, uint64_t max)
{
    uint64_t whole = 0;
    if (value.is_number_unsigned())
        whole = value.get<uint64_t>();
    else if (value.is_number_integer() && value.get<int64_t>() >= 0)
        whole = static_cast<uint64_t>(value.get<int64_t>());
    else
        return std::nullopt;
    return whole <= max ? std::optional<uint64_t>(whole) : std::nullopt;
}

std::string JanusClient::Reply::errorReason() const
{
    if (!reached)
        return "server unreachable";
    const nlohmann::json *error = errorOf(body);
    auto reason = error ? error->find("reason") : nlohmann::json::const_iterator();
    return error && reason != error->end() && reason->is_string() ? reason->get<std::string>() : "";
}

JanusClient::JanusClient(std::string rootUrl, std::string token)
    : m_rootUrl(std::move(rootUrl)), m_token(std::move(token))
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    while (!m_rootUrl.empty() && m_rootUrl.back() == '/')
        m_rootUrl.pop_back();
}

JanusClient::Reply JanusClient::send(const std::string &path, nlohmann::json request, int timeoutMs) const
{
    request["transaction"] = transactionId();
    if (!m_token.empty())
        request["token"] = m_token;
    const std::string body = request.dump();
    return transfer(m_rootUrl + path, &body, timeoutMs, nullptr);
}

JanusClient::Reply JanusClient::poll(uint64_t session, const std::atomic<bool> &cancel) const
{
    std::string url = m_rootUrl + "/" + std::to_string(session) + "?maxev=" + std::to_string(kMaxEventsPerPoll);
    if (!m_token.empty()) {
        char *escaped = curl_easy_escape(nullptr, m_token.c_str(), static_cast<int>(m_token.size()));
        url += std::string("&token=") + (escaped ? escaped : "");
        curl_free(escaped);
    }
    return transfer(url, nullptr, 40000, &cancel);
}

JanusClient::Reply JanusClient::transfer(const std::string &url, const std::string *body, int timeoutMs,
                                         const std::atomic<bool> *cancel) const
{
    Reply reply;
    CURL *curl = curl_easy_init();
    if (!curl) {
        reply.fault = "no transfer could be started";
        return reply;
    }
    Received received;
    curl_slist *headers = curl_slist_append(nullptr, "Content-Type: application/json");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeoutMs));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, 3000L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
    // An announced length past the bound fails before anything is read.
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxReplyBytes));
    if (body) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body->c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body->size()));
    }
    if (cancel) {
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, checkCancel);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool> *>(cancel));
    }
    if (tracing() && body)
        std::fprintf(stderr, "janus -> %s %s\n", url.c_str(), body->c_str());
    const CURLcode result = curl_easy_perform(curl);
    if (tracing() && (body || !received.text.empty() || result != CURLE_OK))
        std::fprintf(stderr, "janus <- %s %s\n", url.c_str(),
                     result == CURLE_OK ? received.text.c_str() : curl_easy_strerror(result));
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    reply.status = static_cast<int>(status);
    if (received.tooLong || result == CURLE_FILESIZE_EXCEEDED) {
        reply.fault = "the answer is longer than " + std::to_string(kMaxReplyBytes) + " bytes";
        return reply;
    }
    if (result != CURLE_OK) {
        reply.fault = std::string("no answer (") + curl_easy_strerror(result) + ")";
        return reply;
    }
    if (status == 404) {
        // Janus answers a request for a session it does not know with a bare 404.
        reply.reached = true;
        reply.body = {{"janus", "error"}, {"error", {{"code", kNoSession}, {"reason", "no such session"}}}};
        return reply;
    }
    if (status != 200) {
        reply.fault = "HTTP status " + std::to_string(status);
        return reply;
    }
    reply.body = nlohmann::json::parse(received.text, nullptr, false);
    reply.reached = !reply.body.is_discarded() && (reply.body.is_object() || reply.body.is_array());
    if (!reply.reached)
        reply.fault = "the answer is no JSON object";
    return reply;
}

} // namespace rtc
} // namespace vendor
