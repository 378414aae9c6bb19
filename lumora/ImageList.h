// CImageList: the browser's list model. One folder of still images scanned in
// one of three orders, a page of nine entries, the current entry and the
// navigation commands with their enabling rules. No toolkit code: the view
// owns one and asks it what to draw.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lumora {

inline constexpr int kPageSize = 9;

enum SortMode : int { kSortByName = 0, kSortByDate = 1, kSortByType = 2 };

struct ImageEntry {
    std::string name;  // as found on disk, in its own case and bytes
    std::string path;  // folder + "/" + name
    int64_t time = 0;  // birth time where recorded, else modification time (s)
};

// True when a name is listed in name and date order: its last three
// characters, upper-cased, are BMP, GIF, PCX, TGA, JPG or TIF.
bool HasImageTail(const std::string& name);
// Position of the name in the type order (0 BMP .. 5 TIF) when it ends in one
// of "*.bmp" ... "*.tif" in any case, else -1.
int TypeRank(const std::string& name);
// Natural order of names, as people read them: runs of digits by their value
// (2 before 10), other characters without regard to ASCII case. Names equal
// that way keep a fixed order by their bytes.
bool NaturalLess(const std::string& a, const std::string& b);

class CImageList {
public:
    // Rebuilds the lists from the folder in the current sort mode and returns
    // to the first page in multi-image mode. An unreadable or missing folder
    // gives empty lists (false).
    bool Refresh(const std::string& folder);
    void SetSortMode(int mode) { sortMode_ = mode; }
    int SortMode() const { return sortMode_; }

    size_t Count() const { return entries_.size(); }
    const ImageEntry& Entry(size_t i) const { return entries_[i]; }
    const std::vector<ImageEntry>& Entries() const { return entries_; }

    // Number of entries on the page that starts at PageFirst().
    int PageCount() const;
    int PageFirst() const { return pageFirst_; }
    int CurrentIndex() const { return current_; }
    int SelectedCell() const { return selected_; }
    bool Single() const { return single_; }
    // The current entry's path ("" when there is none).
    std::string CurrentPath() const;

    bool CanNext() const;
    bool CanPrevious() const;
    bool CanFirst() const { return CanPrevious(); }
    bool CanLast() const { return CanNext(); }
    // Each returns true when it changed the page or the current entry; a
    // disabled command changes nothing. All set the selected cell to 0.
    bool Next();
    bool Previous();
    bool First();
    bool Last();

    // Cell k of the page chosen by a click: current entry and selected cell.
    bool Select(int cell);
    // Single-image mode showing the selected entry (double click).
    bool ShowSingle(int cell);
    // Back to multi-image mode on the page of the current entry.
    void ShowMulti();
    // Replaces the entry's name and path after a rename.
    void Rename(size_t i, const std::string& name, const std::string& path);

private:
    void Reset();

    std::vector<ImageEntry> entries_;
    int sortMode_ = kSortByType;
    int pageFirst_ = 0;
    int current_ = 0;
    int selected_ = 0;
    bool single_ = false;
};

}  // namespace lumora
