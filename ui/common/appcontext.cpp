#include "ui/common/appcontext.h"

namespace quorel::ui {

TAppContext& AppContext() {
    static TAppContext context;
    return context;
}

TDialogHooks& DialogHooks() {
    static TDialogHooks hooks;
    return hooks;
}

} // namespace quorel::ui
