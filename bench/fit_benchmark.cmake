# One typical fit of temp1d-fit next to one model run (fit_benchmark.cpp).
add_executable(temp1d_fit_benchmark ${CMAKE_CURRENT_LIST_DIR}/fit_benchmark.cpp)
target_link_libraries(temp1d_fit_benchmark PRIVATE temp1d_fit benchmark::benchmark)
