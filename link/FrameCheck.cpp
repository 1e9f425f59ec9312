#include "link/FrameCheck.h"

#include "link/BlockCheckValue.h"
#include "link/CheckFieldText.h"
#include "link/FileBlockStuffing.h"

namespace krl {

FileBlockContent unpackFileBlock(const FrameRecord& frame, std::uint8_t* out) {
    FileBlockContent content;
    content.length = unstuffFileBlock(frame.bytes(), out);
    content.checkValue = BlockCheckValue::of({out, content.length});
    content.intact = content.checkValue == readCheckField(frame.check);
    return content;
}

bool videoFrameIntact(const FrameRecord& frame) {
    return BlockCheckValue::of(frame.bytes()) == readCheckField(frame.check);
}

}  // namespace krl
