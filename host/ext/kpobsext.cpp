#include "kpobsext.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace {

#define KP_SAME_FIELD(name)                                                                  \
	static_assert(offsetof(kp_obs_source_info, name) == offsetof(obs_source_info, name), \
		      "field " #name " must sit where libobs has it")
KP_SAME_FIELD(id);
KP_SAME_FIELD(type);
KP_SAME_FIELD(output_flags);
KP_SAME_FIELD(get_name);
KP_SAME_FIELD(create);
KP_SAME_FIELD(update);
KP_SAME_FIELD(video_render);
KP_SAME_FIELD(save);
KP_SAME_FIELD(key_click);
KP_SAME_FIELD(type_data);
KP_SAME_FIELD(audio_render);
KP_SAME_FIELD(enum_all_sources);
#undef KP_SAME_FIELD

// libobs's own part of the record ends where its field 32 begins.
constexpr size_t kLibobsPart = offsetof(obs_source_info, transition_start);
static_assert(offsetof(kp_obs_source_info, status) == kLibobsPart,
	      "the host's fields follow libobs's first 32");

struct HostFields {
	decltype(kp_obs_source_info::status) status = nullptr;
	decltype(kp_obs_source_info::do_custom_callback) do_custom_callback = nullptr;
	decltype(kp_obs_source_info::tablet_event) tablet_event = nullptr;
};

struct Registry {
	std::mutex mutex;
	std::map<std::string, HostFields> fields;
	// One record per source and querying thread: a query replaces only the
	// record its own thread was given, never one another thread still reads.
	std::map<obs_source_t *, std::map<std::thread::id, obs_data_t *>> statusRecords;
};

Registry &registry()
{
	static Registry instance;
	return instance;
}

std::atomic<bool> &encryptionSwitch()
{
	static std::atomic<bool> encrypted{[] {
		const char *value = std::getenv("KP_LOG_ENCRYPTED");
		return value && std::strcmp(value, "1") == 0;
	}()};
	return encrypted;
}

template<typename Field> bool recordHas(size_t size, size_t offset)
{
	return size >= offset + sizeof(Field);
}

HostFields fieldsOf(obs_source_t *source)
{
	const char *id = source ? obs_source_get_id(source) : nullptr;
	if (!id)
		return {};
	Registry &reg = registry();
	std::lock_guard<std::mutex> lock(reg.mutex);
	auto it = reg.fields.find(id);
	return it == reg.fields.end() ? HostFields{} : it->second;
}

using ThreadRecords = std::map<std::thread::id, obs_data_t *>;

void releaseRecords(const ThreadRecords &records)
{
	for (const auto &entry : records)
		obs_data_release(entry.second);
}

void forgetStatusRecords(void *, calldata_t *data)
{
	auto *source = static_cast<obs_source_t *>(calldata_ptr(data, "source"));
	ThreadRecords records;
	{
		Registry &reg = registry();
		std::lock_guard<std::mutex> lock(reg.mutex);
		auto it = reg.statusRecords.find(source);
		if (it == reg.statusRecords.end())
			return;
		records.swap(it->second);
		reg.statusRecords.erase(it);
	}
	releaseRecords(records);
}

// A null source has no destruction to wait for: its record lives with the
// querying thread, until that thread's next null query or its end.
struct NullSourceRecord {
	obs_data_t *record = nullptr;
	~NullSourceRecord() { obs_data_release(record); }
};

void keepNullSourceRecord(obs_data_t *record)
{
	static thread_local NullSourceRecord kept;
	obs_data_release(kept.record);
	kept.record = record;
}

// Keeps the newest record of each source for the calling thread and releases
// the one it replaces.
void keepStatusRecord(obs_source_t *source, obs_data_t *record)
{
	if (!source) {
		keepNullSourceRecord(record);
		return;
	}
	obs_data_t *previous = nullptr;
	bool first = false;
	{
		Registry &reg = registry();
		std::lock_guard<std::mutex> lock(reg.mutex);
		first = reg.statusRecords.find(source) == reg.statusRecords.end();
		obs_data_t *&slot = reg.statusRecords[source][std::this_thread::get_id()];
		previous = slot;
		slot = record;
	}
	if (first)
		signal_handler_connect(obs_source_get_signal_handler(source), "destroy",
				       forgetStatusRecords, nullptr);
	obs_data_release(previous);
}

} // namespace

extern "C" {

void kp_obs_register_source(const struct kp_obs_source_info *info, size_t size)
{
	if (!info || size < offsetof(kp_obs_source_info, type) + sizeof(info->type))
		return;

	obs_source_info libobsInfo;
	std::memset(&libobsInfo, 0, sizeof(libobsInfo));
	std::memcpy(&libobsInfo, info, size < kLibobsPart ? size : kLibobsPart);

	HostFields fields;
	if (recordHas<decltype(fields.status)>(size, offsetof(kp_obs_source_info, status)))
		fields.status = info->status;
	if (recordHas<decltype(fields.do_custom_callback)>(
		    size, offsetof(kp_obs_source_info, do_custom_callback)))
		fields.do_custom_callback = info->do_custom_callback;
	if (recordHas<decltype(fields.tablet_event)>(size, offsetof(kp_obs_source_info, tablet_event)))
		fields.tablet_event = info->tablet_event;
	if (info->id) {
		Registry &reg = registry();
		std::lock_guard<std::mutex> lock(reg.mutex);
		reg.fields[info->id] = fields;
	}

	obs_register_source_s(&libobsInfo, sizeof(libobsInfo));
}

bool kp_obs_get_log_encrypted(void)
{
	return encryptionSwitch().load(std::memory_order_relaxed);
}

void kp_obs_set_log_encrypted(bool encrypted)
{
	encryptionSwitch().store(encrypted, std::memory_order_relaxed);
}

obs_data_t *kp_obs_get_source_status(obs_source_t *source)
{
	obs_data_t *record = obs_data_create();
	const HostFields fields = fieldsOf(source);
	void *data = source ? obs_obj_get_data(source) : nullptr;
	if (fields.status && data)
		fields.status(data, record);
	keepStatusRecord(source, record);
	return record;
}

void kp_obs_custom_callback(obs_source_t *source, int number, obs_data_t *settings)
{
	const HostFields fields = fieldsOf(source);
	void *data = source ? obs_obj_get_data(source) : nullptr;
	if (fields.do_custom_callback && data)
		fields.do_custom_callback(data, number, settings);
}

void kp_tablet_event(obs_source_t *source, void *event)
{
	const HostFields fields = fieldsOf(source);
	void *data = source ? obs_obj_get_data(source) : nullptr;
	if (fields.tablet_event && data)
		fields.tablet_event(data, event);
}

void kp_obs_release_status_records(void)
{
	decltype(Registry::statusRecords) records;
	{
		Registry &reg = registry();
		std::lock_guard<std::mutex> lock(reg.mutex);
		records.swap(reg.statusRecords);
	}
	for (auto &entry : records) {
		signal_handler_disconnect(obs_source_get_signal_handler(entry.first), "destroy",
					  forgetStatusRecords, nullptr);
		releaseRecords(entry.second);
	}
}

} // extern "C"
