// The seed index image check: any bytes, as a stored index file. The
// identity asked for is the one the header claims (seed length kept small),
// so the input reaches the table checks; when the first byte is odd the
// harness also reseals the checksums, so that damaged tables reach the
// consistency checks. An image that passes must serve every key's lookup
// within its bounds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "worker/index_image.hpp"

namespace {

quilm::IndexIdentity claimed_identity(const quilm::IndexHeader& h) {
  quilm::IndexIdentity id;
  id.seed_length = 6 + static_cast<int>(h.seed_length % 3);
  id.variant =
      h.variant == quilm::kStoredFull ? quilm::IndexVariant::kFull : quilm::IndexVariant::kReduced;
  id.masked_toggle = h.masked_toggle;
  id.segment_length = h.segment_length;
  std::memcpy(id.segment_hash.data(), h.segment_hash, id.segment_hash.size());
  return id;
}

template <class Index>
void look_up_every_key(const Index& index) {
  std::int64_t sum = 0;
  for (std::int64_t k = 0; k < (std::int64_t{1} << (2 * index.seed_length)); ++k) {
    const std::int64_t id = index.translate(k);
    if (id < 0) continue;
    for (std::int32_t p : index.bucket(id)) sum += p;
  }
  if (sum == -1) std::abort();  // keeps the reads
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool reseal = data[0] & 1;
  ++data;
  --size;
  quilm::IndexMemory image = quilm::IndexMemory::anonymous(std::max(size, quilm::kIndexPage));
  std::memcpy(image.data(), data, size);
  const quilm::IndexIdentity id = claimed_identity(quilm::image_header(image.data()));
  if (reseal && size >= quilm::kIndexPage) {
    quilm::IndexHeader& h = quilm::image_header(image.data());
    if (h.image_bytes == size) quilm::seal_index_image(image.data(), id);
  }
  if (!quilm::check_index_image(image.data(), size, id).empty()) return 0;
  if (id.variant == quilm::IndexVariant::kFull)
    look_up_every_key(quilm::attach_seed_index(std::move(image)));
  else
    look_up_every_key(quilm::attach_reduced_seed_index(std::move(image)));
  return 0;
}
