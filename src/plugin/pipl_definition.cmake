# The plug-in's property list, in the order hosts receive it. Both plug-in files and the tests
# are generated from this one list; only the key of the entry-point property differs between
# the 32-bit ('wx86') and the 64-bit ('8664') file, filled in for ENTRY.
#
# Each item: key|kind|value, where kind is
#   fourcc   a four-character code, stored as a little-endian 32-bit integer
#   pstring  a length-prefixed string
#   cstring  a zero-terminated string
#   int32    a little-endian 32-bit integer
# Every property is padded with zero bytes to a multiple of 4 and the padded length is the
# declared length, because some hosts step over properties by the declared length exactly.
set(QORVA_PIPL_RESOURCE_ID 16000)
set(QORVA_PIPL_VENDOR "8BIM")
set(QORVA_PIPL_PROPERTIES
    "kind|fourcc|8BFM"
    "name|pstring|Qorva HDR..."
    "catg|pstring|Qorva HDR"
    "vers|int32|262144"          # interface 4.0: major in the high 16 bits
    "ENTRY|cstring|PluginMain"
    "enbl|cstring|true")         # every mode: the mode is tested when the filter starts
