#pragma once

#include "core/IEditorLink.h"

// An editor control as the plug-in core reaches it.
class IControl : public IEditorControlLink {};
