# bash completion for imr: its commands, their options, the values of
# --level and --types, and the names of magic entries.
_imr() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
  local command="" subcommand="" word i
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    [[ $word == -* ]] && continue
    if [[ -z $command ]]; then
      command=$word
    elif [[ $command == magic && -z $subcommand ]]; then
      subcommand=$word
    fi
  done

  case $prev in
    --level)
      COMPREPLY=($(compgen -W "1 2 3 4 5 6" -- "$cur"))
      return
      ;;
    --types)
      COMPREPLY=($(compgen -W "0x01 0x03 0x07 0x7f" -- "$cur"))
      return
      ;;
    --max-images)
      COMPREPLY=($(compgen -W "1 100 16384" -- "$cur"))
      return
      ;;
    -j | --jobs)
      COMPREPLY=($(compgen -W "1 2 4 8" -- "$cur"))
      return
      ;;
    --files-from)
      COMPREPLY=($(compgen -f -- "$cur") $(compgen -W "-" -- "$cur"))
      return
      ;;
  esac

  case $command in
    "")
      COMPREPLY=($(compgen -W "identify smartid formats magic --version --help" -- "$cur"))
      ;;
    identify)
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--json --level --types --explain --max-images -r --recursive -j --jobs
                                 --no-cache --files-from --help" -- "$cur"))
      else
        COMPREPLY=($(compgen -f -- "$cur"))
      fi
      ;;
    smartid)
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--help" -- "$cur"))
      else
        COMPREPLY=($(compgen -f -- "$cur"))
      fi
      ;;
    formats)
      COMPREPLY=($(compgen -W "--json --chains --help" -- "$cur"))
      ;;
    magic)
      case $subcommand in
        "") COMPREPLY=($(compgen -W "check show --help" -- "$cur")) ;;
        check) COMPREPLY=($(compgen -f -- "$cur")) ;;
        show)
          local names
          names=$("${COMP_WORDS[0]}" formats 2>/dev/null | cut -d' ' -f1)
          COMPREPLY=($(compgen -W "$names" -- "$cur"))
          ;;
      esac
      ;;
  esac
}
complete -o filenames -F _imr imr
