#pragma once

// The toolkit's display callback: one whole picture.
void display();
