#include "providers/file/storage_registry.h"

#include <filesystem>
#include <map>
#include <mutex>

namespace vantor::providers::file {

namespace {
std::mutex registry_mutex;
std::map<std::string, std::weak_ptr<SharedStorage>>& Registry() {
  static std::map<std::string, std::weak_ptr<SharedStorage>> registry;
  return registry;
}
}  // namespace

std::string StorageKey(const std::string& kind_tag, const std::string& path) {
  std::error_code ec;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(path, ec);
  if (ec) canonical = std::filesystem::absolute(path, ec);
  std::string text = canonical.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return kind_tag + ":" + text;
}

std::shared_ptr<SharedStorage> AcquireStorage(const std::string& key,
                                              const std::function<std::unique_ptr<formats::Storage>()>& open) {
  std::lock_guard<std::mutex> lock(registry_mutex);
  auto& registry = Registry();
  for (auto it = registry.begin(); it != registry.end();) {
    if (it->second.expired()) it = registry.erase(it);
    else ++it;
  }
  if (auto existing = registry[key].lock()) return existing;
  auto shared = std::make_shared<SharedStorage>();
  shared->storage = open();
  shared->key = key;
  registry[key] = shared;
  return shared;
}

}  // namespace vantor::providers::file
