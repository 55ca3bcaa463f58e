#pragma once

#include <QIcon>

// The pictures of the main window's tool buttons, drawn at 32 x 32.
enum class ToolIcon { Exit, Import, Export, Help, Barcodes };

QIcon toolIcon(ToolIcon icon);
