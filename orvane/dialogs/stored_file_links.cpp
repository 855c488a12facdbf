#include "stored_file_links.h"

#include "desktop_file_types.h"
#include "file_associations.h"
#include "key_value_store.h"

QString ApplyStoredFileLinks() {
    const QStringList linked =
        DbValue("settings_linked_type").toString().split(',', Qt::SkipEmptyParts);
    AssociationSave save;
    for (const QString& ext : AssociationExtensions()) {
        if (linked.contains(ext))
            RegisterFileAssociations(ext);
        else
            UnregisterFileAssociations(ext);
    }
    return save.Finish();
}
