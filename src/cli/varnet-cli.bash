# SPDX-License-Identifier: Apache-2.0
# bash completion for varnet-cli: commands, options, the ports discovery would
# take, files by extension, and the settings' group titles and option labels
# (which hold blanks, so they come back quoted). The words below the marker
# are written at build time from the program's own tables.

# @WORDS@

# A word as typed, without its quotes: "a b", 'a b', a\ b.
_varnet_cli_dequote() {
  local w=$1
  case $w in
    \"*) w=${w#\"}; w=${w%\"} ;;
    \'*) w=${w#\'}; w=${w%\'} ;;
    *) w=${w//\\/} ;;
  esac
  printf '%s' "$w"
}

_varnet_cli_in() {
  local w=$1 x
  shift
  for x in "$@"; do [[ $x == "$w" ]] && return 0; done
  return 1
}

# Adds the words that begin with $1 (else those that do ignoring case),
# escaped for the command line unless the word being completed opened a quote.
_varnet_cli_reply() {
  local cur=$1 w
  shift
  local matches=()
  for w in "$@"; do [[ $w == "$cur"* ]] && matches+=("$w"); done
  if ((${#matches[@]} == 0)); then
    for w in "$@"; do [[ ${w,,} == "${cur,,}"* ]] && matches+=("$w"); done
  fi
  for w in "${matches[@]}"; do
    if [[ -n $_varnet_cli_quoted ]]; then COMPREPLY+=("$w"); else COMPREPLY+=("$(printf '%q' "$w")"); fi
  done
}

# Serial ports as discovery takes them: tty devices with a parent device,
# except the placeholder ports of the 8250 driver.
_varnet_cli_ports() {
  local d n drv type
  if [[ ! -d /sys/class/tty ]]; then
    for d in /dev/ttyACM* /dev/ttyUSB* /dev/ttyS* /dev/ttyAMA*; do [[ -e $d ]] && printf '%s\n' "${d#/dev/}"; done
    return
  fi
  for d in /sys/class/tty/*/device; do
    [[ -e $d ]] || continue
    n=${d%/device}
    n=${n##*/}
    drv=$(readlink "$d/driver" 2>/dev/null)
    if [[ ${drv##*/} == serial8250 ]]; then
      type=$(cat "/sys/class/tty/$n/type" 2>/dev/null)
      [[ -z $type || $type == 0 ]] && continue
    fi
    printf '%s\n' "$n"
  done
}

_varnet_cli_reply_ports() {
  local cur=$1
  if [[ $cur == /* ]]; then
    compopt -o filenames 2>/dev/null
    mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -f -- "$cur")
    return
  fi
  local ports
  mapfile -t ports < <(_varnet_cli_ports)
  _varnet_cli_reply "$cur" "${ports[@]}"
}

# Directories and the files with one of the extensions in $2 (separated by
# blanks) that begin with $1.
_varnet_cli_files() {
  compopt -o filenames 2>/dev/null
  local ext
  mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(
    compgen -d -- "$1"
    for ext in $2; do compgen -f -X "!*$ext" -- "$1"; done
  )
}

_varnet_cli() {
  local cword=$COMP_CWORD raw=${COMP_WORDS[COMP_CWORD]}
  local prev=${COMP_WORDS[COMP_CWORD - 1]} cur _varnet_cli_quoted=
  case $raw in
    \"* | \'*) _varnet_cli_quoted=1; cur=${raw:1} ;;
    *) cur=${raw//\\/} ;;
  esac
  COMPREPLY=()

  case $prev in
    --port) _varnet_cli_reply_ports "$cur"; return ;;
    --baud) _varnet_cli_reply "$cur" 9600 115200 57600 38400 19200 230400; return ;;
    --page-size) _varnet_cli_reply "$cur" a4 letter; return ;;
    --dir)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      return
      ;;
  esac

  # The command and its arguments so far; "port:NAME" comes as three words.
  local i w command= args=()
  for ((i = 1; i < cword; i++)); do
    w=${COMP_WORDS[i]}
    if [[ $w == -* ]]; then
      _varnet_cli_in "$w" "${_varnet_cli_value_options[@]}" --page-size && ((i++))
      continue
    fi
    if [[ -z $command ]]; then
      command=$w
    elif [[ $w == : && ${#args[@]} -gt 0 ]]; then
      args[-1]+=:
      ((i + 1 < cword)) && args[-1]+=${COMP_WORDS[++i]}
    else
      args+=("$(_varnet_cli_dequote "$w")")
    fi
  done

  local _varnet_cli_options=() _varnet_cli_kinds=() _varnet_cli_words=()
  if [[ $cur == -* ]]; then
    if [[ -z $command ]]; then
      _varnet_cli_reply "$cur" "${_varnet_cli_shared_options[@]}"
    else
      _varnet_cli_command_words "$command"
      _varnet_cli_reply "$cur" "${_varnet_cli_options[@]}"
    fi
    return
  fi
  if [[ -z $command ]]; then
    _varnet_cli_reply "$cur" "${_varnet_cli_commands[@]}"
    return
  fi

  _varnet_cli_command_words "$command"
  local n=${#args[@]} kind
  ((${#_varnet_cli_kinds[@]})) || return
  if ((n < ${#_varnet_cli_kinds[@]})); then
    kind=${_varnet_cli_kinds[n]}
  else
    kind=${_varnet_cli_kinds[-1]}
    [[ $kind == files:* || $kind == pairs ]] || return
  fi
  case $kind in
    file:* | files:*) _varnet_cli_files "$cur" "${kind#*:}" ;;
    side:*)
      if [[ $prev == : && ${COMP_WORDS[cword - 2]} == port ]] || [[ $raw == : && $prev == port ]]; then
        [[ $raw == : ]] && cur=
        _varnet_cli_reply_ports "$cur"
      else
        _varnet_cli_files "$cur" "${kind#*:}"
        local ports=() p
        mapfile -t ports < <(_varnet_cli_ports)
        for p in "${ports[@]}"; do [[ port:$p == "$cur"* ]] && COMPREPLY+=("port:$p"); done
      fi
      ;;
    group) _varnet_cli_reply "$cur" "${_varnet_cli_groups[@]}" "${_varnet_cli_page_groups[@]}" ;;
    pairs)
      # GROUP OPTION [on|off], again and again.
      local state=group group=
      for w in "${args[@]}"; do
        case $state in
          group) group=$w; state=option ;;
          option) state=after ;;
          after)
            if [[ ${w,,} == on || ${w,,} == off ]]; then
              state=group
            else
              group=$w
              state=option
            fi
            ;;
        esac
      done
      case $state in
        group) _varnet_cli_reply "$cur" "${_varnet_cli_groups[@]}" ;;
        option)
          _varnet_cli_group_options "${group,,}"
          _varnet_cli_reply "$cur" "${_varnet_cli_words[@]}"
          ;;
        after) _varnet_cli_reply "$cur" on off "${_varnet_cli_groups[@]}" ;;
      esac
      ;;
  esac
}
complete -F _varnet_cli varnet-cli
