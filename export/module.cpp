// The entry point of the export module that the tool loads at run time
// (remux.h): the only name the module makes visible.
#include "export/menu.h"
#include "export/remux.h"

extern "C" __attribute__((visibility("default"))) const vrexport::Module* vrexport_module() {
    static const vrexport::Module module{VRMANGR_VERSION, &vrexport::Export, &vrexport::ExportPictures,
                                         &vrexport::MakeMenuPage};
    return &module;
}
