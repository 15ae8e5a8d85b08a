// Parameter file texts that several tests write.
#pragma once

#include <string>

// A well-formed parameter file (LF line ends) of a solid steel bar of radius
// 5 cm quenched from 850 into water at 20, 6 s in each phase.
inline const std::string plain_parameters = "title\n0\n0.05\n5000\n850\n20 20\n7800\n460\n45\n6 6\n";
