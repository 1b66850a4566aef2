#pragma once

#include <libxml/tree.h>

#include "i18n/Control.h"

namespace qubra {

// Sets the control's properties from the element's attributes and walks on into the child
// controls named by the child elements. Does nothing when either is missing. An attribute that
// names no property of the control fails with "Property %s does not exist".
void TranslateControl(TControl* Control, const xmlNode* Element);
// Replaces the combo box's list by the `item` values of the element's first `items` child,
// keeping the selected index while it still exists. Without `items` the list stays.
void TranslateComboItems(TControl* Combo, const xmlNode* Element);

} // namespace qubra
