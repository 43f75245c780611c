#include "ui/DroppedFiles.h"

#include "ui/WideText.h"

namespace harmoload::ui {
namespace {

// Frees the drop however the reading ends.
class FinishDrop {
  public:
    explicit FinishDrop(HDROP drop) : drop_(drop) {}
    ~FinishDrop() { DragFinish(drop_); }
    FinishDrop(const FinishDrop&) = delete;
    FinishDrop& operator=(const FinishDrop&) = delete;

  private:
    HDROP drop_;
};

}  // namespace

std::vector<std::string> TakeDroppedFiles(HDROP drop) {
    const FinishDrop finish(drop);
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::string> paths;
    paths.reserve(count);
    for (UINT i = 0; i < count; ++i) {
        // The length first, so that a path longer than MAX_PATH arrives whole rather than cut
        // into the path of some other file.
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(static_cast<size_t>(length) + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), length + 1));
        paths.push_back(Utf8(path));
    }
    return paths;
}

}  // namespace harmoload::ui
