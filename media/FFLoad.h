// Run-time binding of the media libraries.
//
// The media layer never links the FFmpeg libraries: TFFLoader opens them by
// file name and binds every entry point it uses into one table of function
// pointers, TFFEntries. Code above the loader calls the libraries only
// through that table:
//
//   if (!FFLoader().Load(ConverterLibraries)) report(FFLoader().LastErrMsg());
//   FF().avcodec_send_packet(ctx, pkt);
//
// Adding an entry point: append one line to the list of its library below
// (FF_REQ for entries that must exist, FF_OPT for ones that may be missing and
// then stay nullptr). Types come from the development headers. Helpers the
// headers define inline (av_q2d, av_cmp_q, av_make_q, av_inv_q, avio_tell,
// av_x_if_null ...) are not exported and are called directly.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/avfft.h>
#include <libavcodec/bsf.h>
#include <libavdevice/avdevice.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/avstring.h>
#include <libavutil/avutil.h>
#include <libavutil/channel_layout.h>
#include <libavutil/cpu.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/eval.h>
#include <libavutil/fifo.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/rational.h>
#include <libavutil/samplefmt.h>
#include <libavutil/time.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "classlib/sysutils.h"
#include "platform/os/dynlib.h"
#include "platform/win/types.h"

// A library or entry point that cannot be bound.
LANTROVE_EXCEPTION(EFFLoadError, Exception);

// ---------------------------------------------------------------------------
// Entry points, one list per library, in binding order.

#define FF_AVUTIL_ENTRIES(FF_REQ, FF_OPT)                                                          \
    FF_REQ(avutil_version)                                                                         \
    FF_REQ(av_version_info)                                                                        \
    /* log */                                                                                      \
    FF_REQ(av_log)                                                                                 \
    FF_REQ(av_vlog)                                                                                \
    FF_REQ(av_log_default_callback)                                                                \
    FF_REQ(av_log_get_level)                                                                       \
    FF_REQ(av_log_set_level)                                                                       \
    FF_REQ(av_log_set_callback)                                                                    \
    FF_REQ(av_log_set_flags)                                                                       \
    FF_REQ(av_log_format_line2)                                                                    \
    FF_REQ(av_default_item_name)                                                                   \
    /* memory */                                                                                   \
    FF_REQ(av_malloc)                                                                              \
    FF_REQ(av_mallocz)                                                                             \
    FF_REQ(av_calloc)                                                                              \
    FF_REQ(av_malloc_array)                                                                        \
    FF_REQ(av_realloc)                                                                             \
    FF_REQ(av_realloc_array)                                                                       \
    FF_REQ(av_fast_malloc)                                                                         \
    FF_REQ(av_fast_mallocz)                                                                        \
    FF_REQ(av_fast_realloc)                                                                        \
    FF_REQ(av_free)                                                                                \
    FF_REQ(av_freep)                                                                               \
    FF_REQ(av_strdup)                                                                              \
    FF_REQ(av_strndup)                                                                             \
    FF_REQ(av_memdup)                                                                              \
    FF_REQ(av_buffer_alloc)                                                                        \
    FF_REQ(av_buffer_ref)                                                                          \
    FF_REQ(av_buffer_unref)                                                                        \
    /* strings, errors, parsing */                                                                 \
    FF_REQ(av_strerror)                                                                            \
    FF_REQ(av_strlcpy)                                                                             \
    FF_REQ(av_strlcat)                                                                             \
    FF_REQ(av_strstart)                                                                            \
    FF_REQ(av_stristart)                                                                           \
    FF_REQ(av_strcasecmp)                                                                          \
    FF_REQ(av_strncasecmp)                                                                         \
    FF_REQ(av_strtod)                                                                              \
    FF_REQ(av_get_token)                                                                           \
    FF_REQ(av_match_name)                                                                          \
    FF_REQ(av_small_strptime)                                                                      \
    FF_REQ(av_parse_video_rate)                                                                    \
    FF_REQ(av_parse_video_size)                                                                    \
    FF_REQ(av_parse_ratio)                                                                         \
    FF_REQ(av_parse_time)                                                                          \
    FF_REQ(av_get_media_type_string)                                                               \
    FF_REQ(av_get_picture_type_char)                                                               \
    FF_REQ(av_int_list_length_for_size)                                                            \
    FF_REQ(av_get_cpu_flags)                                                                       \
    FF_REQ(av_cpu_count)                                                                           \
    /* time and rationals */                                                                       \
    FF_REQ(av_gettime)                                                                             \
    FF_REQ(av_gettime_relative)                                                                    \
    FF_REQ(av_usleep)                                                                              \
    FF_REQ(av_get_time_base_q)                                                                     \
    FF_REQ(av_compare_ts)                                                                          \
    FF_REQ(av_compare_mod)                                                                         \
    FF_REQ(av_rescale)                                                                             \
    FF_REQ(av_rescale_rnd)                                                                         \
    FF_REQ(av_rescale_q)                                                                           \
    FF_REQ(av_rescale_q_rnd)                                                                       \
    FF_REQ(av_rescale_delta)                                                                       \
    FF_REQ(av_add_stable)                                                                          \
    FF_REQ(av_gcd)                                                                                 \
    FF_REQ(av_reduce)                                                                              \
    FF_REQ(av_mul_q)                                                                               \
    FF_REQ(av_div_q)                                                                               \
    FF_REQ(av_add_q)                                                                               \
    FF_REQ(av_sub_q)                                                                               \
    FF_REQ(av_d2q)                                                                                 \
    FF_REQ(av_nearer_q)                                                                            \
    FF_REQ(av_find_nearest_q_idx)                                                                  \
    /* pixel formats and pictures */                                                               \
    FF_REQ(av_get_pix_fmt)                                                                         \
    FF_REQ(av_get_pix_fmt_name)                                                                    \
    FF_REQ(av_get_pix_fmt_string)                                                                  \
    FF_REQ(av_pix_fmt_desc_get)                                                                    \
    FF_REQ(av_pix_fmt_desc_next)                                                                   \
    FF_REQ(av_pix_fmt_desc_get_id)                                                                 \
    FF_REQ(av_pix_fmt_get_chroma_sub_sample)                                                       \
    FF_REQ(av_get_bits_per_pixel)                                                                  \
    FF_REQ(av_get_padded_bits_per_pixel)                                                           \
    FF_REQ(av_find_best_pix_fmt_of_2)                                                              \
    FF_REQ(av_image_alloc)                                                                         \
    FF_REQ(av_image_copy)                                                                          \
    FF_REQ(av_image_copy_plane)                                                                    \
    FF_REQ(av_image_copy_to_buffer)                                                                \
    FF_REQ(av_image_fill_arrays)                                                                   \
    FF_REQ(av_image_fill_linesizes)                                                                \
    FF_REQ(av_image_get_buffer_size)                                                               \
    FF_REQ(av_image_check_size)                                                                    \
    FF_REQ(av_image_check_sar)                                                                     \
    /* samples and channel layouts */                                                              \
    FF_REQ(av_get_sample_fmt)                                                                      \
    FF_REQ(av_get_sample_fmt_name)                                                                 \
    FF_REQ(av_get_sample_fmt_string)                                                               \
    FF_REQ(av_get_bytes_per_sample)                                                                \
    FF_REQ(av_sample_fmt_is_planar)                                                                \
    FF_REQ(av_get_packed_sample_fmt)                                                               \
    FF_REQ(av_get_planar_sample_fmt)                                                               \
    FF_REQ(av_samples_get_buffer_size)                                                             \
    FF_REQ(av_samples_alloc)                                                                       \
    FF_REQ(av_samples_alloc_array_and_samples)                                                     \
    FF_REQ(av_samples_copy)                                                                        \
    FF_REQ(av_samples_set_silence)                                                                 \
    FF_REQ(av_channel_layout_default)                                                              \
    FF_REQ(av_channel_layout_from_mask)                                                            \
    FF_REQ(av_channel_layout_from_string)                                                          \
    FF_REQ(av_channel_layout_copy)                                                                 \
    FF_REQ(av_channel_layout_uninit)                                                               \
    FF_REQ(av_channel_layout_compare)                                                              \
    FF_REQ(av_channel_layout_check)                                                                \
    FF_REQ(av_channel_layout_describe)                                                             \
    FF_REQ(av_channel_layout_subset)                                                               \
    FF_REQ(av_channel_name)                                                                        \
    FF_OPT(av_get_channel_layout_nb_channels)                                                      \
    FF_OPT(av_get_default_channel_layout)                                                          \
    FF_OPT(av_get_channel_layout)                                                                  \
    FF_OPT(av_get_channel_layout_string)                                                           \
    /* FIFOs */                                                                                    \
    FF_REQ(av_fifo_alloc2)                                                                         \
    FF_REQ(av_fifo_freep2)                                                                         \
    FF_REQ(av_fifo_can_read)                                                                       \
    FF_REQ(av_fifo_can_write)                                                                      \
    FF_REQ(av_fifo_grow2)                                                                          \
    FF_REQ(av_fifo_write)                                                                          \
    FF_REQ(av_fifo_read)                                                                           \
    FF_REQ(av_fifo_peek)                                                                           \
    FF_REQ(av_fifo_drain2)                                                                         \
    FF_REQ(av_fifo_reset2)                                                                         \
    FF_REQ(av_audio_fifo_alloc)                                                                    \
    FF_REQ(av_audio_fifo_free)                                                                     \
    FF_REQ(av_audio_fifo_realloc)                                                                  \
    FF_REQ(av_audio_fifo_write)                                                                    \
    FF_REQ(av_audio_fifo_read)                                                                     \
    FF_REQ(av_audio_fifo_peek)                                                                     \
    FF_REQ(av_audio_fifo_drain)                                                                    \
    FF_REQ(av_audio_fifo_reset)                                                                    \
    FF_REQ(av_audio_fifo_size)                                                                     \
    FF_REQ(av_audio_fifo_space)                                                                    \
    /* dictionaries */                                                                             \
    FF_REQ(av_dict_get)                                                                            \
    FF_REQ(av_dict_count)                                                                          \
    FF_REQ(av_dict_set)                                                                            \
    FF_REQ(av_dict_set_int)                                                                        \
    FF_REQ(av_dict_parse_string)                                                                   \
    FF_REQ(av_dict_copy)                                                                           \
    FF_REQ(av_dict_free)                                                                           \
    FF_REQ(av_dict_get_string)                                                                     \
    /* options */                                                                                  \
    FF_REQ(av_opt_next)                                                                            \
    FF_REQ(av_opt_find)                                                                            \
    FF_REQ(av_opt_find2)                                                                           \
    FF_REQ(av_opt_child_next)                                                                      \
    FF_REQ(av_opt_child_class_iterate)                                                             \
    FF_REQ(av_opt_set_defaults)                                                                    \
    FF_REQ(av_opt_set_defaults2)                                                                   \
    FF_REQ(av_opt_free)                                                                            \
    FF_REQ(av_opt_show2)                                                                           \
    FF_REQ(av_opt_set)                                                                             \
    FF_REQ(av_opt_set_int)                                                                         \
    FF_REQ(av_opt_set_double)                                                                      \
    FF_REQ(av_opt_set_q)                                                                           \
    FF_REQ(av_opt_set_bin)                                                                         \
    FF_REQ(av_opt_set_image_size)                                                                  \
    FF_REQ(av_opt_set_pixel_fmt)                                                                   \
    FF_REQ(av_opt_set_sample_fmt)                                                                  \
    FF_REQ(av_opt_set_video_rate)                                                                  \
    FF_REQ(av_opt_set_chlayout)                                                                    \
    FF_REQ(av_opt_set_dict)                                                                        \
    FF_REQ(av_opt_set_dict2)                                                                       \
    FF_REQ(av_opt_get)                                                                             \
    FF_REQ(av_opt_get_int)                                                                         \
    FF_REQ(av_opt_get_double)                                                                      \
    FF_REQ(av_opt_get_q)                                                                           \
    FF_REQ(av_opt_get_chlayout)                                                                    \
    FF_REQ(av_opt_is_set_to_default_by_name)                                                       \
    FF_REQ(av_opt_eval_flags)                                                                      \
    FF_REQ(av_opt_eval_int)                                                                        \
    /* frames */                                                                                   \
    FF_REQ(av_frame_alloc)                                                                         \
    FF_REQ(av_frame_free)                                                                          \
    FF_REQ(av_frame_ref)                                                                           \
    FF_REQ(av_frame_unref)                                                                         \
    FF_REQ(av_frame_clone)                                                                         \
    FF_REQ(av_frame_move_ref)                                                                      \
    FF_REQ(av_frame_get_buffer)                                                                    \
    FF_REQ(av_frame_is_writable)                                                                   \
    FF_REQ(av_frame_make_writable)                                                                 \
    FF_REQ(av_frame_copy)                                                                          \
    FF_REQ(av_frame_copy_props)                                                                    \
    FF_REQ(av_frame_get_side_data)                                                                 \
    FF_REQ(av_frame_remove_side_data)

#define FF_SWRESAMPLE_ENTRIES(FF_REQ, FF_OPT)                                                      \
    FF_REQ(swresample_version)                                                                     \
    FF_REQ(swr_get_class)                                                                          \
    FF_REQ(swr_alloc)                                                                              \
    FF_REQ(swr_alloc_set_opts2)                                                                    \
    FF_REQ(swr_init)                                                                               \
    FF_REQ(swr_is_initialized)                                                                     \
    FF_REQ(swr_close)                                                                              \
    FF_REQ(swr_free)                                                                               \
    FF_REQ(swr_convert)                                                                            \
    FF_REQ(swr_convert_frame)                                                                      \
    FF_REQ(swr_config_frame)                                                                       \
    FF_REQ(swr_next_pts)                                                                           \
    FF_REQ(swr_set_compensation)                                                                   \
    FF_REQ(swr_set_channel_mapping)                                                                \
    FF_REQ(swr_set_matrix)                                                                         \
    FF_REQ(swr_drop_output)                                                                        \
    FF_REQ(swr_inject_silence)                                                                     \
    FF_REQ(swr_get_delay)                                                                          \
    FF_REQ(swr_get_out_samples)

#define FF_SWSCALE_ENTRIES(FF_REQ, FF_OPT)                                                         \
    FF_REQ(swscale_version)                                                                        \
    FF_REQ(sws_get_class)                                                                          \
    FF_REQ(sws_alloc_context)                                                                      \
    FF_REQ(sws_init_context)                                                                       \
    FF_REQ(sws_getContext)                                                                         \
    FF_REQ(sws_getCachedContext)                                                                   \
    FF_REQ(sws_freeContext)                                                                        \
    FF_REQ(sws_scale)                                                                              \
    FF_REQ(sws_scale_frame)                                                                        \
    FF_REQ(sws_isSupportedInput)                                                                   \
    FF_REQ(sws_isSupportedOutput)                                                                  \
    FF_REQ(sws_getDefaultFilter)                                                                   \
    FF_REQ(sws_freeFilter)

#define FF_AVCODEC_ENTRIES(FF_REQ, FF_OPT)                                                         \
    FF_REQ(avcodec_version)                                                                        \
    FF_REQ(av_codec_iterate)                                                                       \
    FF_REQ(av_codec_is_encoder)                                                                    \
    FF_REQ(av_codec_is_decoder)                                                                    \
    FF_REQ(avcodec_find_decoder)                                                                   \
    FF_REQ(avcodec_find_decoder_by_name)                                                           \
    FF_REQ(avcodec_find_encoder)                                                                   \
    FF_REQ(avcodec_find_encoder_by_name)                                                           \
    FF_REQ(avcodec_get_name)                                                                       \
    FF_REQ(avcodec_get_type)                                                                       \
    FF_REQ(avcodec_descriptor_get)                                                                 \
    FF_REQ(avcodec_descriptor_get_by_name)                                                         \
    FF_REQ(avcodec_get_class)                                                                      \
    FF_REQ(avcodec_string)                                                                         \
    FF_REQ(av_get_profile_name)                                                                    \
    FF_REQ(avcodec_alloc_context3)                                                                 \
    FF_REQ(avcodec_free_context)                                                                   \
    FF_REQ(avcodec_open2)                                                                          \
    FF_REQ(avcodec_close)                                                                          \
    FF_REQ(avcodec_parameters_alloc)                                                               \
    FF_REQ(avcodec_parameters_free)                                                                \
    FF_REQ(avcodec_parameters_copy)                                                                \
    FF_REQ(avcodec_parameters_from_context)                                                        \
    FF_REQ(avcodec_parameters_to_context)                                                          \
    FF_REQ(avcodec_send_packet)                                                                    \
    FF_REQ(avcodec_receive_frame)                                                                  \
    FF_REQ(avcodec_send_frame)                                                                     \
    FF_REQ(avcodec_receive_packet)                                                                 \
    FF_REQ(avcodec_flush_buffers)                                                                  \
    FF_REQ(avcodec_decode_subtitle2)                                                               \
    FF_REQ(avcodec_encode_subtitle)                                                                \
    FF_REQ(avsubtitle_free)                                                                        \
    FF_REQ(avcodec_align_dimensions2)                                                              \
    FF_REQ(avcodec_find_best_pix_fmt_of_list)                                                      \
    FF_REQ(avcodec_pix_fmt_to_codec_tag)                                                           \
    FF_REQ(avcodec_fill_audio_frame)                                                               \
    FF_REQ(avcodec_default_get_buffer2)                                                            \
    FF_REQ(av_get_bits_per_sample)                                                                 \
    FF_REQ(av_get_exact_bits_per_sample)                                                           \
    FF_REQ(av_get_audio_frame_duration)                                                            \
    FF_REQ(av_get_audio_frame_duration2)                                                           \
    FF_REQ(av_fast_padded_malloc)                                                                  \
    FF_REQ(av_fast_padded_mallocz)                                                                 \
    /* packets */                                                                                  \
    FF_REQ(av_packet_alloc)                                                                        \
    FF_REQ(av_packet_free)                                                                         \
    FF_REQ(av_packet_clone)                                                                        \
    FF_REQ(av_packet_ref)                                                                          \
    FF_REQ(av_packet_unref)                                                                        \
    FF_REQ(av_packet_move_ref)                                                                     \
    FF_REQ(av_packet_copy_props)                                                                   \
    FF_REQ(av_packet_make_refcounted)                                                              \
    FF_REQ(av_packet_make_writable)                                                                \
    FF_REQ(av_packet_rescale_ts)                                                                   \
    FF_REQ(av_packet_get_side_data)                                                                \
    FF_REQ(av_packet_new_side_data)                                                                \
    FF_REQ(av_packet_add_side_data)                                                                \
    FF_REQ(av_new_packet)                                                                          \
    FF_REQ(av_grow_packet)                                                                         \
    FF_REQ(av_shrink_packet)                                                                       \
    /* bitstream filters and parsers */                                                            \
    FF_REQ(av_bsf_get_by_name)                                                                     \
    FF_REQ(av_bsf_iterate)                                                                         \
    FF_REQ(av_bsf_alloc)                                                                           \
    FF_REQ(av_bsf_init)                                                                            \
    FF_REQ(av_bsf_send_packet)                                                                     \
    FF_REQ(av_bsf_receive_packet)                                                                  \
    FF_REQ(av_bsf_flush)                                                                           \
    FF_REQ(av_bsf_free)                                                                            \
    FF_REQ(av_bsf_get_class)                                                                       \
    FF_REQ(av_bsf_list_parse_str)                                                                  \
    FF_REQ(av_bsf_get_null_filter)                                                                 \
    FF_REQ(av_parser_init)                                                                         \
    FF_REQ(av_parser_parse2)                                                                       \
    FF_REQ(av_parser_close)                                                                        \
    /* real FFT (audio analysis) */                                                                \
    FF_OPT(av_rdft_init)                                                                           \
    FF_OPT(av_rdft_calc)                                                                           \
    FF_OPT(av_rdft_end)

#define FF_AVFORMAT_ENTRIES(FF_REQ, FF_OPT)                                                        \
    FF_REQ(avformat_version)                                                                       \
    FF_REQ(avformat_network_init)                                                                  \
    FF_REQ(avformat_network_deinit)                                                                \
    FF_REQ(avformat_get_class)                                                                     \
    FF_REQ(av_demuxer_iterate)                                                                     \
    FF_REQ(av_muxer_iterate)                                                                       \
    FF_REQ(av_find_input_format)                                                                   \
    FF_REQ(av_probe_input_format)                                                                  \
    FF_REQ(av_probe_input_buffer2)                                                                 \
    FF_REQ(av_guess_format)                                                                        \
    FF_REQ(av_guess_codec)                                                                         \
    FF_REQ(av_guess_frame_rate)                                                                    \
    FF_REQ(av_guess_sample_aspect_ratio)                                                           \
    FF_REQ(av_codec_get_id)                                                                        \
    FF_REQ(av_codec_get_tag)                                                                       \
    FF_REQ(av_codec_get_tag2)                                                                      \
    FF_REQ(avformat_query_codec)                                                                   \
    FF_REQ(avformat_match_stream_specifier)                                                        \
    /* demuxing */                                                                                 \
    FF_REQ(avformat_alloc_context)                                                                 \
    FF_REQ(avformat_free_context)                                                                  \
    FF_REQ(avformat_open_input)                                                                    \
    FF_REQ(avformat_close_input)                                                                   \
    FF_REQ(avformat_find_stream_info)                                                              \
    FF_REQ(av_find_best_stream)                                                                    \
    FF_REQ(av_find_program_from_stream)                                                            \
    FF_REQ(av_read_frame)                                                                          \
    FF_REQ(av_read_play)                                                                           \
    FF_REQ(av_read_pause)                                                                          \
    FF_REQ(av_seek_frame)                                                                          \
    FF_REQ(avformat_seek_file)                                                                     \
    FF_REQ(avformat_flush)                                                                         \
    FF_REQ(av_format_inject_global_side_data)                                                      \
    FF_REQ(av_stream_get_end_pts)                                                                  \
    FF_REQ(av_stream_get_parser)                                                                   \
    FF_REQ(av_stream_get_codec_timebase)                                                           \
    /* muxing */                                                                                   \
    FF_REQ(avformat_alloc_output_context2)                                                         \
    FF_REQ(avformat_new_stream)                                                                    \
    FF_REQ(av_new_program)                                                                         \
    FF_REQ(avformat_init_output)                                                                   \
    FF_REQ(avformat_write_header)                                                                  \
    FF_REQ(av_write_frame)                                                                         \
    FF_REQ(av_interleaved_write_frame)                                                             \
    FF_REQ(av_write_uncoded_frame)                                                                 \
    FF_REQ(av_write_trailer)                                                                       \
    FF_REQ(av_get_output_timestamp)                                                                \
    FF_REQ(avformat_transfer_internal_stream_timing_info)                                          \
    FF_REQ(av_sdp_create)                                                                          \
    FF_REQ(av_filename_number_test)                                                                \
    FF_REQ(av_get_frame_filename2)                                                                 \
    FF_REQ(av_url_split)                                                                           \
    FF_REQ(av_dump_format)                                                                         \
    FF_REQ(av_pkt_dump_log2)                                                                       \
    FF_REQ(av_hex_dump_log)                                                                        \
    /* byte I/O */                                                                                 \
    FF_REQ(avio_open2)                                                                             \
    FF_REQ(avio_open)                                                                              \
    FF_REQ(avio_close)                                                                             \
    FF_REQ(avio_closep)                                                                            \
    FF_REQ(avio_alloc_context)                                                                     \
    FF_REQ(avio_context_free)                                                                      \
    FF_REQ(avio_check)                                                                             \
    FF_REQ(avio_find_protocol_name)                                                                \
    FF_REQ(avio_enum_protocols)                                                                    \
    FF_REQ(avio_seek)                                                                              \
    FF_REQ(avio_skip)                                                                              \
    FF_REQ(avio_size)                                                                              \
    FF_REQ(avio_feof)                                                                              \
    FF_REQ(avio_read)                                                                              \
    FF_REQ(avio_r8)                                                                                \
    FF_REQ(avio_write)                                                                             \
    FF_REQ(avio_w8)                                                                                \
    FF_REQ(avio_put_str)                                                                           \
    FF_REQ(avio_printf)                                                                            \
    FF_REQ(avio_flush)                                                                             \
    FF_REQ(avio_open_dyn_buf)                                                                      \
    FF_REQ(avio_close_dyn_buf)

#define FF_AVFILTER_ENTRIES(FF_REQ, FF_OPT)                                                        \
    FF_REQ(avfilter_version)                                                                       \
    FF_REQ(av_filter_iterate)                                                                      \
    FF_REQ(avfilter_get_by_name)                                                                   \
    FF_REQ(avfilter_get_class)                                                                     \
    FF_REQ(avfilter_pad_get_name)                                                                  \
    FF_REQ(avfilter_pad_get_type)                                                                  \
    FF_REQ(avfilter_filter_pad_count)                                                              \
    FF_REQ(avfilter_link)                                                                          \
    FF_REQ(avfilter_init_str)                                                                      \
    FF_REQ(avfilter_init_dict)                                                                     \
    FF_REQ(avfilter_free)                                                                          \
    FF_REQ(avfilter_insert_filter)                                                                 \
    FF_REQ(avfilter_graph_alloc)                                                                   \
    FF_REQ(avfilter_graph_alloc_filter)                                                            \
    FF_REQ(avfilter_graph_get_filter)                                                              \
    FF_REQ(avfilter_graph_create_filter)                                                           \
    FF_REQ(avfilter_graph_set_auto_convert)                                                        \
    FF_REQ(avfilter_graph_config)                                                                  \
    FF_REQ(avfilter_graph_free)                                                                    \
    FF_REQ(avfilter_graph_parse)                                                                   \
    FF_REQ(avfilter_graph_parse2)                                                                  \
    FF_REQ(avfilter_graph_parse_ptr)                                                               \
    FF_REQ(avfilter_graph_send_command)                                                            \
    FF_REQ(avfilter_graph_request_oldest)                                                          \
    FF_REQ(avfilter_graph_dump)                                                                    \
    FF_REQ(avfilter_inout_alloc)                                                                   \
    FF_REQ(avfilter_inout_free)                                                                    \
    FF_REQ(av_buffersrc_parameters_alloc)                                                          \
    FF_REQ(av_buffersrc_parameters_set)                                                            \
    FF_REQ(av_buffersrc_write_frame)                                                               \
    FF_REQ(av_buffersrc_add_frame)                                                                 \
    FF_REQ(av_buffersrc_add_frame_flags)                                                           \
    FF_REQ(av_buffersrc_close)                                                                     \
    FF_REQ(av_buffersrc_get_nb_failed_requests)                                                    \
    FF_REQ(av_buffersink_get_frame)                                                                \
    FF_REQ(av_buffersink_get_frame_flags)                                                          \
    FF_REQ(av_buffersink_get_samples)                                                              \
    FF_REQ(av_buffersink_set_frame_size)                                                           \
    FF_REQ(av_buffersink_get_type)                                                                 \
    FF_REQ(av_buffersink_get_time_base)                                                            \
    FF_REQ(av_buffersink_get_format)                                                               \
    FF_REQ(av_buffersink_get_frame_rate)                                                           \
    FF_REQ(av_buffersink_get_w)                                                                    \
    FF_REQ(av_buffersink_get_h)                                                                    \
    FF_REQ(av_buffersink_get_sample_aspect_ratio)                                                  \
    FF_REQ(av_buffersink_get_channels)                                                             \
    FF_REQ(av_buffersink_get_ch_layout)                                                            \
    FF_REQ(av_buffersink_get_sample_rate)

#define FF_AVDEVICE_ENTRIES(FF_REQ, FF_OPT)                                                        \
    FF_REQ(avdevice_version)                                                                       \
    FF_REQ(avdevice_register_all)

// The C runtime's entries, bound like the others.
#define FF_LIBC_ENTRIES(FF_REQ, FF_OPT)                                                            \
    FF_REQ(fopen)                                                                                  \
    FF_REQ(fclose)                                                                                 \
    FF_REQ(fread)                                                                                  \
    FF_REQ(fwrite)                                                                                 \
    FF_REQ(fseek)                                                                                  \
    FF_REQ(ftell)                                                                                  \
    FF_REQ(fprintf)                                                                                \
    FF_REQ(snprintf)                                                                               \
    FF_REQ(vsnprintf)                                                                              \
    FF_REQ(strtod)                                                                                 \
    FF_REQ(strtol)                                                                                 \
    FF_REQ(strtok_r)

// Every list, each with its library.
#define FF_ALL_ENTRIES(FF_REQ, FF_OPT)                                                             \
    FF_AVUTIL_ENTRIES(FF_REQ, FF_OPT)                                                              \
    FF_SWRESAMPLE_ENTRIES(FF_REQ, FF_OPT)                                                          \
    FF_SWSCALE_ENTRIES(FF_REQ, FF_OPT)                                                             \
    FF_AVCODEC_ENTRIES(FF_REQ, FF_OPT)                                                             \
    FF_AVFORMAT_ENTRIES(FF_REQ, FF_OPT)                                                            \
    FF_AVFILTER_ENTRIES(FF_REQ, FF_OPT)                                                            \
    FF_AVDEVICE_ENTRIES(FF_REQ, FF_OPT)                                                            \
    FF_LIBC_ENTRIES(FF_REQ, FF_OPT)

// The table of bound entry points; nullptr while the library is not loaded
// (and for an optional entry the library does not export).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
struct TFFEntries {
#define FF_ENTRY_MEMBER(name) decltype(&::name) name = nullptr;
    FF_ALL_ENTRIES(FF_ENTRY_MEMBER, FF_ENTRY_MEMBER)
#undef FF_ENTRY_MEMBER
};
#pragma GCC diagnostic pop

// ---------------------------------------------------------------------------
// Libraries

// In dependency order: a set loads in this order and unloads in reverse.
enum TLibrary : uint8_t {
    avUtil = 0,
    swResample = 1,
    swScale = 2,
    avCodec = 3,
    avFormat = 4,
    avFilter = 5,
    avDevice = 6,
    myUtil = 7,
};
inline constexpr int LibraryCount = 8;

// A set of libraries, bit n for ordinal n.
class TLibraries {
public:
    constexpr TLibraries() = default;
    constexpr TLibraries(std::initializer_list<TLibrary> Libs) {
        for (TLibrary L : Libs)
            Bits |= uint8_t(1u << L);
    }
    constexpr bool Contains(TLibrary L) const { return (Bits >> L) & 1u; }
    constexpr bool Empty() const { return Bits == 0; }
    constexpr TLibraries Without(TLibrary L) const {
        TLibraries R;
        R.Bits = uint8_t(Bits & ~(1u << L));
        return R;
    }
    constexpr bool operator==(const TLibraries&) const = default;

private:
    uint8_t Bits = 0;
};

inline constexpr TLibraries AllLibraries{avUtil,   swResample, swScale,  avCodec,
                                         avFormat, avFilter,   avDevice, myUtil};
// What the encoder and the conversion engine need.
inline constexpr TLibraries ConverterLibraries = AllLibraries.Without(avDevice);
// What the decoder needs.
inline constexpr TLibraries DecoderLibraries = ConverterLibraries.Without(avFilter);

using TFixupProc = void (*)(const std::string& FileName, os::TModuleHandle Handle);
using TUnfixProc = void (*)();

// One row of the constant library table. The file name is "lib" + Name +
// ".so" and, with a Version >= 0, "." + Version.
struct TLibraryItem {
    TLibrary Lib;
    const char* Name;
    bool SysLib; // never looked for in LibraryPath
    int Version; // major version in the file name, -1 for none
    TFixupProc Fixup;
    TUnfixProc Unfix;
};

struct TLibraryStatus {
    TLibrary Lib = avUtil;
    std::string Name; // replaces the table rule when not empty
    os::TModuleHandle Handle = nullptr;
    bool Fixuped = false;
};

class TFFLoader {
public:
    TFFLoader();
    ~TFFLoader();
    TFFLoader(const TFFLoader&) = delete;
    TFFLoader& operator=(const TFFLoader&) = delete;

    bool Load(TLibrary Lib);
    bool Load(TLibraries Libs); // a set must not be empty
    bool Loaded(TLibrary Lib) const;
    bool Loaded(TLibraries Libs) const;
    void Unload(TLibrary Lib);
    void Unload(TLibraries Libs);
    std::string LibraryFileName(TLibrary Lib) const;

    // Replaces the file name of one library (empty restores the rule).
    void SetLibraryName(TLibrary Lib, const std::string& FileName);

    std::string LastErrMsg() const;
    std::string LibraryPath() const;
    void SetLibraryPath(const std::string& Path);
    bool InstallLogger() const { return FInstallLogger; }
    void SetInstallLogger(bool Value) { FInstallLogger = Value; }

private:
    bool FInstallLogger = true;
};

// The process's loader and its table of entry points.
TFFLoader& FFLoader();
TFFEntries& FF();

// ---------------------------------------------------------------------------
// Codec mutex: one process-wide mutex that serialises codec opens and closes
// across conversion threads (the codec library of this generation has no
// lock manager of its own, so callers take it around avcodec_open2 and
// avcodec_free_context).

enum TLockOp { lockCreate = 0, lockObtain = 1, lockRelease = 2, lockDestroy = 3 };
// Returns 0 on success, -1 on failure (logged, never thrown).
int CodecLockManager(void** Mutex, int Op);
// Obtain/release the codec mutex created when the codec library was loaded;
// false when there is none.
bool LockCodecMutex();
bool UnlockCodecMutex();

class TCodecLock {
public:
    TCodecLock() : FLocked(LockCodecMutex()) {}
    ~TCodecLock() {
        if (FLocked) UnlockCodecMutex();
    }
    TCodecLock(const TCodecLock&) = delete;
    TCodecLock& operator=(const TCodecLock&) = delete;

private:
    bool FLocked;
};

// ---------------------------------------------------------------------------
// Interrupt list: blocking library calls ask whether the current thread's
// operation is to be abandoned.

using TThreadID = std::thread::id;
// Returns true to abandon the blocking operation.
using TInterruptProc = bool (*)(void* Sender);

class TInterruptCB {
public:
    struct TEntry {
        TThreadID ThreadID;
        TInterruptProc Proc;
        void* Sender;
    };

    ~TInterruptCB();
    void Add(TThreadID ThreadID, void* Sender, TInterruptProc Proc);
    void Remove(TThreadID ThreadID, void* Sender, TInterruptProc Proc);
    void Clear();
    bool Interrupt(TThreadID ThreadID);
    std::vector<TEntry>& LockList();
    void UnlockList();

private:
    std::vector<TEntry> FList;
    std::recursive_mutex FLock;
};

TInterruptCB& InterruptList();

// The callback for AVIOInterruptCB: asks the interrupt list for the current
// thread; 1 abandons the blocking operation.
int FFInterruptCallback(void* Opaque);
// The interrupt callback to put into every format context the layer opens.
AVIOInterruptCB FFInterruptCB();
