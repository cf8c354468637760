#include "Assets.h"

#include <QtCore/qglobal.h>

static void initResources()
{
    Q_INIT_RESOURCE(assets);
}

namespace Assets {
void init()
{
    static const bool done = (initResources(), true);
    (void)done;
}
} // namespace Assets
