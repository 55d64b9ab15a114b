#include "stream/CVRO_DATA.h"

CVRO_DATA::CVRO_DATA(int isMovie) : m_MpegFileInfo{}, m_dwVROSize(0), m_dwLastError(0), m_bMovie(isMovie) {}

CVRO_DATA::~CVRO_DATA() = default;
