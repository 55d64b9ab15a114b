// A DVD-Video menu page: on a plain background, each entry's picture (the
// first picture of its plan's first cell) above its name, arrows to the
// pages before and after; as a still MPEG-2 program stream with silent
// AC-3, and the two subpicture images of its buttons (highlighted and
// selected: an outline around each button) that the authoring program's
// subpicture multiplexer takes.
//
// The layout is computed here, inline, so that the tool places the buttons
// where the picture shows them without loading the module.
#ifndef VRMANGR_EXPORT_MENU_H
#define VRMANGR_EXPORT_MENU_H

#include <cstddef>
#include <string>
#include <vector>

#include "export/remux.h"

namespace vrexport {

// A rectangle of the page's pixels: [x0, x1) x [y0, y1).
struct Rect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// Entries on one page: three columns, two rows.
constexpr size_t kMenuEntries = 6;

// The page is 720 pixels wide and 576 (625/50) or 480 (525/60) high, shown
// at 4:3.
constexpr int kMenuWidth = 720;
inline int MenuHeight(bool ntsc) { return ntsc ? 480 : 576; }

// Where entry `slot` (0 to kMenuEntries - 1) of a page goes.
struct MenuSlot {
    Rect picture;  // the picture, 4:3 or (wide) 16:9 as shown, in the middle of a 4:3 box
    Rect name;  // the name's line below it
    Rect button;  // the outline around both
};

namespace menu_layout {
constexpr int kLeft = 60;  // inside the title-safe area
constexpr int kColumn = 200, kPictureWidth = 180, kPad = 6;
// Rows of a 4:3 box 180 pixels wide: pixels are 16:15 (625) or 8:9 (525)
// on a 4:3 page of 720 pixels.
inline int BoxHeight(bool ntsc) { return ntsc ? 120 : 144; }
inline int NameHeight(bool ntsc) { return ntsc ? 30 : 36; }
inline int RowHeight(bool ntsc) { return BoxHeight(ntsc) + 8 + NameHeight(ntsc) + (ntsc ? 20 : 24); }
inline int Top(bool ntsc) {
    return (MenuHeight(ntsc) - (2 * RowHeight(ntsc) + NameHeight(ntsc))) / 4 * 2;  // even
}
}  // namespace menu_layout

inline MenuSlot MenuEntrySlot(bool ntsc, size_t slot, bool wide) {
    using namespace menu_layout;
    const int x = kLeft + static_cast<int>(slot % 3) * kColumn + (kColumn - kPictureWidth) / 2;
    const int y = Top(ntsc) + static_cast<int>(slot / 3) * RowHeight(ntsc);
    const int box = BoxHeight(ntsc), height = wide ? box * 3 / 4 / 2 * 2 : box;
    MenuSlot s;
    s.picture = {x, y + (box - height) / 4 * 2, x + kPictureWidth, y + (box - height) / 4 * 2 + height};
    s.name = {x - kPad, y + box + 8, x + kPictureWidth + kPad, y + box + 8 + NameHeight(ntsc)};
    s.button = {x - kPad, y - kPad, x + kPictureWidth + kPad, s.name.y1 + 2};
    return s;
}

// The button of the arrow to the page before (next: after), below the
// entries at the left (right).
inline Rect MenuArrow(bool ntsc, bool next) {
    using namespace menu_layout;
    const int y = Top(ntsc) + 2 * RowHeight(ntsc);
    const int x = next ? kLeft + 3 * kColumn - 10 - 60 : kLeft + 10;
    return {x, y, x + 60, y + NameHeight(ntsc)};
}

struct MenuEntry {
    const Plan* plan = nullptr;  // its first cell's first picture is shown
    std::string name;  // UTF-8; "" for none
    bool wide = false;  // the picture is 16:9
};

struct MenuPage {
    bool ntsc = false;
    std::vector<MenuEntry> entries;  // at most kMenuEntries
    bool previous = false, next = false;  // arrows to the pages before and after
};

// The page's buttons in order: its entries', then the arrows to the pages
// before and after.
inline std::vector<Rect> MenuButtons(const MenuPage& page) {
    std::vector<Rect> buttons;
    for (size_t i = 0; i < page.entries.size(); ++i)
        buttons.push_back(MenuEntrySlot(page.ntsc, i, page.entries[i].wide).button);
    if (page.previous) buttons.push_back(MenuArrow(page.ntsc, false));
    if (page.next) buttons.push_back(MenuArrow(page.ntsc, true));
    return buttons;
}

// What MakeMenuPage writes: the still (MPEG-2 program stream) and the PNG
// images of the buttons highlighted and selected.
struct MenuFiles {
    std::string video, highlight, select;
};

// *named is false when no font could be found for the names (the page then
// shows the pictures only). progress as for Export (bytes of the pictures'
// first cells read). On failure *error holds one sentence.
Result MakeMenuPage(const MenuPage& page, const MenuFiles& files, const ProgressFn& progress, bool* named,
                    std::string* error);

}  // namespace vrexport

#endif
