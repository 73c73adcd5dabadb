#pragma once

#include <QImage>

// The meter bridge's design picture: brushed panel, printed scales beside the six meters, the
// clock's black disc, header and footer bands, the product's and the maker's marks.
namespace Panel {

QImage draw();

// The plain brushed texture that covers the window's margins around the panel.
QImage marginTexture();

// The pixel row where a meter of this design rectangle shows `db` at the top of its bar.
int markRow(int meterTop, int meterHeight, double db);

} // namespace Panel
